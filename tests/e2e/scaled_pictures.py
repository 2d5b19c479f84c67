# SPDX-License-Identifier: MIT
"""What the scaling tests of both programs share: points and sizes scaled from 96 dpi, the SVG
sources drawn at a scale, and a check that a window's pictures on the screen are as sharp as those."""
import os
import subprocess
import tempfile

from PIL import Image

from xsession import wait_for

# Parts of the face, in pixels at 96 dpi, that only the pictures draw: the face below the title
# strip except the two fields and their labels, and the title strip right of its caption.
FACE = (0, 34, 600, 399)
FIELDS = (170, 180, 465, 270)
STRIP = (150, 0, 600, 32)
# Where the file name field's text stands at 96 dpi: left, right and its inked rows.
TEXT1_INK = (261, 455, 193, 205)


def scaled(value, scale):
    """A length at 96 dpi on a screen of `scale` device pixels per pixel, halves rounded up."""
    return int(value * scale + 0.5)


def scaled_point(point, scale):
    return scaled(point[0], scale), scaled(point[1], scale)


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


class SourcesAtScale:
    """The face and the title strip drawn from their sources at `scale`, and the 96-dpi face blown
    up to the same size, as a window that ignores the scale would show it."""

    def __init__(self, assets, scale):
        self.scale = scale
        width, height = scaled(600, scale), scaled(400, scale)
        with tempfile.TemporaryDirectory() as folder:
            self.face = drawn_from_source(os.path.join(assets, "src", "background.svg"), (width, height), folder)
            self.strip = drawn_from_source(os.path.join(assets, "src", "titlestrip.svg"),
                                           (width, scaled(32, scale)), folder)
        with Image.open(os.path.join(assets, "background.bmp")) as first:
            self.blown_up = first.convert("RGB").resize((width, height), Image.BILINEAR)

    def check(self, test, run):
        """Checks the pictures and text of the window of `run` (a started ProgramRun), once drawn
        (a point of the face that no field covers shows the source's colour), the pointer away."""
        run.park_pointer()
        origin = run.geometry()
        x, y = scaled_point((300, 300), self.scale)
        shot = wait_for(lambda: (lambda s: s if s.rgb(origin[0] + x, origin[1] + y) == self.face.getpixel((x, y))
                                 else None)(run.screenshot()), what="the window to be drawn")
        self.check_window(test, shot, origin)
        self.check_text1(test, shot, origin)

    def check_window(self, test, shot, origin):
        """At a scale the pictures ship at, the window's face and title strip differ from the
        sources only at the odd edge pixel; at another (shrunk from the next larger) at a few
        more. The 96-dpi face blown up differs at many more than either."""
        on_screen = lambda x, y: shot.rgb(origin[0] + x, origin[1] + y)  # noqa: E731
        tolerance = 0.002 if self.scale in (1.5, 2.0) else 0.02
        face_unlike = unlike(on_screen, self.face, FACE, self.scale, skip=FIELDS)
        test.assertLess(face_unlike, tolerance, "the face")
        test.assertLess(unlike(on_screen, self.strip, STRIP, self.scale), tolerance, "the title strip")
        blown_up_unlike = unlike(lambda x, y: self.blown_up.getpixel((x, y)), self.face, FACE, self.scale, skip=FIELDS)
        test.assertGreater(blown_up_unlike, max(1.5 * face_unlike, tolerance), "the face blown up")

    def check_text1(self, test, shot, origin):
        """The file name field's text stands where it does at 96 dpi, scaled: its font follows."""
        left, right, first, last = TEXT1_INK
        rows = range(scaled(first - 4, self.scale), scaled(last + 8, self.scale))
        inked = [y for y in rows if any(sum(shot.rgb(origin[0] + x, origin[1] + y)) < 300
                                        for x in range(scaled(left, self.scale), scaled(right, self.scale)))]
        test.assertTrue(inked, "no text in the file name field")
        test.assertAlmostEqual(inked[0], first * self.scale, delta=2 * self.scale)
        test.assertAlmostEqual(inked[-1], last * self.scale, delta=2 * self.scale)
