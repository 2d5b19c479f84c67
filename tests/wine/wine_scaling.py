#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""vextra.exe under Wine on denser screens. With LogPixels 144 and 192 (1.5x and 2x) in a prefix of
the test's own, the window opens at that scale with its hot spots where its face shows them, its
tooltips over them, its fonts from twips at that density, and pictures as sharp as the SVG sources
drawn at that scale.

usage: wine_scaling.py (the options of wine_e2e.py)
"""
import os
import subprocess
import sys
import unittest
from contextlib import closing

import wine_e2e
from wine_e2e import inspect, wine

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from scaled_pictures import SourcesAtScale, scaled, scaled_point  # noqa: E402
from xsession import (DISABLE, DROP_BOX, ENABLE, HEIGHT, WIDTH, drag_by_title_strip, run_in_xvfb,  # noqa: E402
                      wait_for, xdotool)

XDND_REFUSED = 2

# (LogPixels, device pixels per 96-dpi pixel)
DENSITIES = ((144, 1.5), (192, 2.0))


def set_log_pixels(dpi):
    """The density Wine gives every screen, read when its processes start."""
    result = wine("reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d", dpi, "/f")
    if result.returncode != 0:
        raise AssertionError("reg add LogPixels failed: %s" % result.stderr)
    subprocess.run(["wineserver", "--kill"], timeout=60)
    subprocess.run(["wineserver", "--wait"], timeout=60)


class ScaledVextra(wine_e2e.Vextra):
    """The program, whose main window is the one of the title at `size`."""

    def __init__(self, test, size):
        self.expected_size = size
        super().__init__(test)

    def main_window(self):
        return next((w for w in self.titled_windows() if self.size(w) == self.expected_size), None)


class Win32WindowAtOtherDensities(unittest.TestCase):
    def test_window_hot_spots_text_and_pictures_follow_the_density(self):
        for dpi, scale in DENSITIES:
            with self.subTest(LogPixels=dpi):
                set_log_pixels(dpi)
                self.addCleanup(set_log_pixels, 96)
                sources = SourcesAtScale(wine_e2e.ARGS.assets, scale)
                with closing(ScaledVextra(self, (scaled(WIDTH, scale), scaled(HEIGHT, scale)))) as v:
                    self.assertEqual(v.bounds()[2:], (scaled(WIDTH, scale), scaled(HEIGHT, scale)))
                    sources.check(self, v)

                    exe = v.app("old.exe")
                    wait_for(lambda: v.xdnd([exe], at=scaled_point(DROP_BOX, scale)).returncode != XDND_REFUSED,
                             timeout=15, what="the drop to be taken")
                    wait_for(lambda: v.fields() == ("old.exe", "No"), what="the name and status")
                    v.click(scaled_point(ENABLE, scale))
                    box = v.message_box()
                    self.assertEqual(v.boxes(), ["Do you want to Enable visual style for old.exe"])
                    v.answer(box, "n")
                    # A drag moves the window by as many screen pixels as the pointer, at any density.
                    drag_by_title_strip(v.geometry)

                    v.park_pointer()
                    wait_for(lambda: inspect("tooltip")[0] != 0, what="no tooltip")
                    left, top = v.geometry()
                    at = scaled_point(DISABLE, scale)
                    xdotool("mousemove", "--sync", left + at[0], top + at[1])
                    wait_for(lambda: inspect("tooltip") == (0, "Disable Visual Style..."),
                             what="the Disable tooltip")


def main():
    rest = wine_e2e.parse_arguments()
    # Room for the window at twice its size.
    return run_in_xvfb(rest, prepare=wine_e2e.prepare_wine, finish=wine_e2e.end_wine, screen="1600x1000x24")


if __name__ == "__main__":
    sys.exit(main())
