#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The screenshot the AppStream metadata shows: the real window in Xvfb with an old program dropped
on it, cut from the screen. The committed picture must be what the window shows now, pixel
for pixel; --write makes it again.

usage: screenshot.py --vextra PATH --xdnd-drop PATH --template-tool PATH --picture PNG [--write]
"""
import argparse
import os
import sys
import unittest

from PIL import Image, ImageChops

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import qt_e2e  # noqa: E402
from xsession import run_in_xvfb  # noqa: E402

ARGS = None


def window_picture(v):
    left, top, width, height = v.bounds()
    screen = v.screenshot()
    picture = Image.new("RGB", (width, height))
    picture.putdata([screen.rgb(left + x, top + y) for y in range(height) for x in range(width)])
    return picture


class Screenshot(unittest.TestCase):
    def test_committed_screenshot_is_the_window(self):
        v = qt_e2e.Vextra(self)
        v.drop_files(v.app("old.exe"))
        v.park_pointer()
        # The drop's answer is painted before the next event: a moment without a box lets it show.
        self.assertTrue(v.no_box_within(0.5))
        picture = window_picture(v)
        if ARGS.write:
            picture.save(ARGS.picture, optimize=True)
        with Image.open(ARGS.picture) as committed:
            self.assertEqual(committed.size, picture.size)
            self.assertIsNone(ImageChops.difference(committed.convert("RGB"), picture).getbbox(),
                              "the window no longer looks as the committed screenshot: run with --write")


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for option in ("--vextra", "--xdnd-drop", "--template-tool", "--picture"):
        parser.add_argument(option, required=True)
    parser.add_argument("--write", action="store_true")
    ARGS, rest = parser.parse_known_args()
    qt_e2e.ARGS = ARGS
    return run_in_xvfb(rest)


if __name__ == "__main__":
    sys.exit(main())
