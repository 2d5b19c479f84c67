#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The real vextra binary on denser screens, in Xvfb: each way a desktop sets the scale
(QT_SCALE_FACTOR, QT_SCREEN_SCALE_FACTORS, Xft.dpi) gives a window of the scaled size whose hot spots
lie where its face shows them, and pictures as sharp as the SVG sources drawn at that scale.

usage: qt_scaling.py --vextra PATH --xdnd-drop PATH --template-tool PATH --assets DIR --pe-fixtures DIR
"""
import math
import subprocess
import sys
import unittest
from contextlib import closing

import qt_e2e
from scaled_pictures import SourcesAtScale, scaled, scaled_point
from xsession import DROP_BOX, ENABLE, HEIGHT, WIDTH, Screenshot, drag_by_title_strip, run_in_xvfb

ARGS = None

# The ways a desktop asks for a scale: (name, environment, Xft.dpi or None, device pixels per pixel).
SCALINGS = (
    ("QT_SCALE_FACTOR 2", {"QT_SCALE_FACTOR": "2"}, None, 2.0),
    ("QT_SCREEN_SCALE_FACTORS 1.5", {"QT_SCREEN_SCALE_FACTORS": "1.5"}, None, 1.5),
    ("Xft.dpi 120", {}, 120, 1.25),
    ("Xft.dpi 144", {}, 144, 1.5),
    ("Xft.dpi 192", {}, 192, 2.0),
)


def set_xft_dpi(dpi):
    """The X resource that Xft, and Qt with it, read their density from; None removes it."""
    if dpi is None:
        subprocess.run(["xprop", "-root", "-remove", "RESOURCE_MANAGER"], check=True)
    else:
        subprocess.run(["xprop", "-root", "-f", "RESOURCE_MANAGER", "8s", "-set", "RESOURCE_MANAGER",
                        "Xft.dpi:\t%d\n" % dpi], check=True)


class QtWindowAtOtherScales(unittest.TestCase):
    def start(self, environment, xft_dpi):
        set_xft_dpi(xft_dpi)
        self.addCleanup(set_xft_dpi, None)
        return qt_e2e.Vextra(self, env=environment)

    def test_window_and_hot_spots_are_scaled(self):
        for name, environment, xft_dpi, scale in SCALINGS:
            with self.subTest(name), closing(self.start(environment, xft_dpi)) as v:
                self.assertEqual(v.bounds()[2:], (scaled(WIDTH, scale), scaled(HEIGHT, scale)))
                v.drop_files(v.app("old.exe"), at=scaled_point(DROP_BOX, scale))
                v.click(scaled_point(ENABLE, scale))
                v.answer(v.message_box(), "n")
                # A drag moves the window by as many screen pixels as the pointer, to the nearest
                # layout pixel: Qt places a window in those.
                drag_by_title_strip(v.geometry, slack=math.ceil(scale))
                # The fields lie on the white ones the face draws for them.
                left, top = v.geometry()
                shot = Screenshot()
                for point in ((452, 192), (445, 259)):
                    x, y = scaled_point(point, scale)
                    self.assertEqual(shot.rgb(left + x, top + y), (255, 255, 255))

    def test_pictures_and_text_are_as_sharp_as_their_sources(self):
        for name, environment, xft_dpi, scale in SCALINGS[:3]:
            with self.subTest(name), closing(self.start(environment, xft_dpi)) as v:
                SourcesAtScale(ARGS.assets, scale).check(self, v)


def main():
    global ARGS
    rest = qt_e2e.parse_arguments()
    ARGS = qt_e2e.ARGS
    # Room for the window at twice its size.
    return run_in_xvfb(rest, screen="1600x1000x24")


if __name__ == "__main__":
    sys.exit(main())
