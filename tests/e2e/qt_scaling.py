#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The real vextra binary on denser screens, in Xvfb: each way a desktop sets the scale
(QT_SCALE_FACTOR, QT_SCREEN_SCALE_FACTORS, Xft.dpi) gives a window of the scaled size whose hot spots
lie where its face shows them, and pictures as sharp as the SVG sources drawn at that scale.

usage: qt_scaling.py --vextra PATH --xdnd-drop PATH --template-tool PATH --assets DIR --pe-fixtures DIR
"""
import os
import subprocess
import sys
import tempfile
import unittest

from PIL import Image

import qt_e2e
from xsession import DROP_BOX, ENABLE, HEIGHT, WIDTH, Screenshot, run_in_xvfb, wait_for, xdotool

ARGS = None

# The ways a desktop asks for a scale: (name, environment, Xft.dpi or None, device pixels per pixel).
SCALINGS = (
    ("QT_SCALE_FACTOR 2", {"QT_SCALE_FACTOR": "2"}, None, 2.0),
    ("QT_SCREEN_SCALE_FACTORS 1.5", {"QT_SCREEN_SCALE_FACTORS": "1.5"}, None, 1.5),
    ("Xft.dpi 120", {}, 120, 1.25),
    ("Xft.dpi 144", {}, 144, 1.5),
    ("Xft.dpi 192", {}, 192, 2.0),
)

# Parts of the face, in pixels at 96 dpi, that only the pictures draw: the face below the title
# strip except the two fields and their labels, and the title strip right of its caption.
FACE = (0, 34, 600, 399)
FIELDS = (170, 180, 465, 270)
STRIP = (150, 0, 600, 32)


def scaled(value, scale):
    return int(value * scale + 0.5)


def size(window):
    values = dict(line.split("=") for line in xdotool("getwindowgeometry", "--shell", window).splitlines())
    return int(values["WIDTH"]), int(values["HEIGHT"])


def set_xft_dpi(dpi):
    """The X resource that Xft, and Qt with it, read their density from; None removes it."""
    if dpi is None:
        subprocess.run(["xprop", "-root", "-remove", "RESOURCE_MANAGER"], check=True)
    else:
        subprocess.run(["xprop", "-root", "-f", "RESOURCE_MANAGER", "8s", "-set", "RESOURCE_MANAGER",
                        "Xft.dpi:\t%d\n" % dpi], check=True)


def drawn_from_source(svg, size, folder):
    """The SVG source drawn at `size` by the renderer the pictures are made with, on white."""
    out = os.path.join(folder, os.path.basename(svg) + ".png")
    subprocess.run(["rsvg-convert", "-w", str(size[0]), "-h", str(size[1]), "-o", out, svg], check=True)
    with Image.open(out) as image:
        return Image.alpha_composite(Image.new("RGBA", image.size, (255, 255, 255, 255)),
                                     image.convert("RGBA")).convert("RGB")


def unlike(pixel, reference, area, scale, skip=None):
    """The share of the pixels of `area` (96-dpi pixels, scaled) that differ by more than a faint
    edge between `pixel(x, y)` and `reference`; every second pixel, `skip` left out."""
    x0, y0, x1, y1 = (scaled(v, scale) for v in area)
    sx0, sy0, sx1, sy1 = (scaled(v, scale) for v in skip) if skip else (0, 0, 0, 0)
    differing = total = 0
    for y in range(y0, y1, 2):
        for x in range(x0, x1, 2):
            if sx0 <= x < sx1 and sy0 <= y < sy1:
                continue
            a, b = pixel(x, y), reference.getpixel((x, y))
            total += 1
            differing += max(abs(a[i] - b[i]) for i in range(3)) > 16
    return differing / total


class QtWindowAtOtherScales(unittest.TestCase):
    def start(self, environment, xft_dpi):
        set_xft_dpi(xft_dpi)
        self.addCleanup(set_xft_dpi, None)
        return qt_e2e.Vextra(self, env=environment)

    def test_window_and_hot_spots_are_scaled(self):
        for name, environment, xft_dpi, scale in SCALINGS:
            with self.subTest(name):
                v = self.start(environment, xft_dpi)
                self.assertEqual(size(v.window), (scaled(WIDTH, scale), scaled(HEIGHT, scale)))
                at = lambda point: (scaled(point[0], scale), scaled(point[1], scale))  # noqa: E731
                v.drop_files(v.app("old.exe"), at=at(DROP_BOX))
                v.click(at(ENABLE))
                v.answer(v.message_box(), "n")
                # The fields lie on the white ones the face draws for them.
                left, top = v.geometry()
                shot = Screenshot()
                for x, y in ((452, 192), (445, 259)):
                    self.assertEqual(shot.rgb(left + scaled(x, scale), top + scaled(y, scale)), (255, 255, 255))
                v.close()

    def test_pictures_are_as_sharp_as_their_sources(self):
        """Compared with the sources drawn at the screen's scale, the face and the title strip
        differ only at the odd edge pixel at a scale the pictures ship at, and at a few more at
        another (shrunk from the next larger); the 96-dpi face blown up differs at many more."""
        folder = tempfile.mkdtemp(prefix="scaled-sources-", dir=os.getcwd())
        sources = os.path.join(ARGS.assets, "src")
        for name, environment, xft_dpi, scale in SCALINGS[:3]:
            with self.subTest(name):
                width, height = scaled(600, scale), scaled(400, scale)
                face = drawn_from_source(os.path.join(sources, "background.svg"), (width, height), folder)
                strip = drawn_from_source(os.path.join(sources, "titlestrip.svg"), (width, scaled(32, scale)), folder)
                with Image.open(os.path.join(ARGS.assets, "background.bmp")) as first:
                    blown_up = first.convert("RGB").resize((width, height), Image.BILINEAR)
                v = self.start(environment, xft_dpi)
                v.park_pointer()
                left, top = v.geometry()
                probe = (scaled(300, scale), scaled(300, scale))
                shot = wait_for(lambda: (lambda s: s if s.rgb(left + probe[0], top + probe[1]) ==
                                         face.getpixel(probe) else None)(Screenshot()), what="the window to be drawn")
                on_screen = lambda x, y: shot.rgb(left + x, top + y)  # noqa: E731
                tolerance = 0.002 if scale in (1.5, 2.0) else 0.02
                face_unlike = unlike(on_screen, face, FACE, scale, skip=FIELDS)
                self.assertLess(face_unlike, tolerance, "the face")
                self.assertLess(unlike(on_screen, strip, STRIP, scale), tolerance, "the title strip")
                blown_up_unlike = unlike(lambda x, y: blown_up.getpixel((x, y)), face, FACE, scale, skip=FIELDS)
                self.assertGreater(blown_up_unlike, max(1.5 * face_unlike, tolerance), "the face blown up")
                v.close()


def main():
    global ARGS
    rest = qt_e2e.parse_arguments()
    ARGS = qt_e2e.ARGS
    # Room for the window at twice its size.
    return run_in_xvfb(rest, screen="1600x1000x24")


if __name__ == "__main__":
    sys.exit(main())
