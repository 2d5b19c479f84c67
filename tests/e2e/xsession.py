# SPDX-License-Identifier: MIT
"""What the end-to-end tests share: a private X server, xdotool, waiting, screenshots compared
with the program's own pictures, and a driver for one run of the program."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest

TITLE = "Korvane Vextra"
WIDTH, HEIGHT = 600, 399

# Points in the window, in pixels: over the drawn elements their hot spots lie on.
DROP_BOX = (284, 100)
ENABLE = (328, 360)
DISABLE = (504, 360)
ABOUT = (529, 16)
EXIT = (576, 16)


def wait_for(predicate, timeout=10.0, what="condition"):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


def xdotool(*args, check=True):
    result = subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True, timeout=30)
    if check and result.returncode != 0:
        raise AssertionError("xdotool %s failed: %s" % (" ".join(map(str, args)), result.stderr))
    return result.stdout.strip()


def drag_by_title_strip(geometry, slack=0):
    """Drags the window by a free spot of its title strip in steps, as a hand would, and waits until
    it has followed the pointer, to within `slack` screen pixels (a window placed in pixels of a
    scaled layout lands on a whole one of those); `geometry` gives its position on the screen."""
    left, top = geometry()
    xdotool("mousemove", "--sync", left + 300, top + 16, "mousedown", 1)
    for step in range(1, 6):
        xdotool("mousemove", "--sync", left + 300 + 20 * step, top + 16 + 15 * step)
    xdotool("mouseup", 1)
    wait_for(lambda: all(abs(at - want) <= slack for at, want in zip(geometry(), (left + 100, top + 75))),
             what="the window to follow the pointer")


def read_bmp(path):
    """A 24-bit bottom-up BMP as (width, height, rows of (r, g, b)), top row first."""
    with open(path, "rb") as f:
        data = f.read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height):
        base = offset + (height - 1 - y) * stride
        rows.append([(data[base + 3 * x + 2], data[base + 3 * x + 1], data[base + 3 * x]) for x in range(width)])
    return width, height, rows


class Screenshot:
    """The whole screen, from xwd (depth 24, ZPixmap)."""

    def __init__(self):
        data = subprocess.run(["xwd", "-root", "-silent"], capture_output=True, check=True, timeout=30).stdout
        fields = struct.unpack_from(">25I", data, 0)
        header_size, width, height = fields[0], fields[4], fields[5]
        self.byte_order, self.bpp, self.stride = fields[7], fields[11], fields[12]
        ncolors = fields[19]
        if self.bpp not in (24, 32) or fields[3] != 24:
            raise AssertionError("unexpected screenshot format: depth %d, %d bits per pixel" % (fields[3], self.bpp))
        self.width, self.height = width, height
        self.pixels = data[header_size + 12 * ncolors:]

    def rgb(self, x, y):
        size = self.bpp // 8
        i = y * self.stride + size * x
        pixel = self.pixels[i:i + size]
        if self.byte_order != 0:  # most significant byte first
            pixel = pixel[::-1]
        return pixel[2], pixel[1], pixel[0]


def start_xvfb(screen="1024x768x24"):
    """A private X server that stays up between clients; DISPLAY points at it."""
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", screen, "-nolisten", "tcp", "-noreset"],
                            pass_fds=(write,), stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as f:
        display = f.readline().strip()
    if not display:
        raise SystemExit("Xvfb did not start")
    os.environ["DISPLAY"] = ":" + display
    return xvfb


def run_in_xvfb(arguments, prepare=None, finish=None, screen="1024x768x24"):
    """Runs the calling script's unittest cases with `arguments` in a private X server of `screen`
    (width x height x depth), between `prepare` and `finish`; the exit status. The programs see
    only that display."""
    os.environ.pop("QT_QPA_PLATFORM", None)
    os.environ.pop("WAYLAND_DISPLAY", None)
    xvfb = start_xvfb(screen)
    try:
        if prepare:
            prepare()
        program = unittest.main(argv=[sys.argv[0], *arguments], exit=False, verbosity=2)
        return 0 if program.result.wasSuccessful() else 1
    finally:
        if finish:
            finish()
        xvfb.terminate()
        xvfb.wait()


def dos_attrib(path):
    """The hidden and system attributes as Wine and the Linux build keep them, or None."""
    try:
        return os.getxattr(path, "user.DOSATTRIB")
    except OSError:
        return None


def plant_manifest(program, content=b"<kept/>"):
    """A manifest beside `program` as Enable leaves one: read-only, hidden and system. Its path."""
    manifest = program + ".manifest"
    with open(manifest, "wb") as f:
        f.write(content)
    os.setxattr(manifest, "user.DOSATTRIB", b"0x6")
    os.chmod(manifest, 0o444)
    return manifest


def file_state(path):
    """All the program may change of a file: content, mode bits and DOS attributes; None when the
    file is not there."""
    if not os.path.lexists(path):
        return None
    with open(path, "rb") as f:
        return f.read(), os.stat(path).st_mode, dos_attrib(path)


class ProgramRun:
    """One run of the program, driven from outside as a person would, with a folder of its own
    that holds a copy of `template` (when given) and the programs to drop. A subclass starts the
    program, sets `self.window` to its main window, and says which shown windows carry the
    program's title."""

    def __init__(self, test, prefix, template=None):
        self.dir = tempfile.mkdtemp(prefix=prefix, dir=os.getcwd())
        test.addCleanup(shutil.rmtree, self.dir, True)
        self.apps = os.path.join(self.dir, "apps")
        os.mkdir(self.apps)
        if template:
            shutil.copy(template, self.dir)
        self.window = None

    def titled_windows(self):
        raise NotImplementedError

    def bounds(self):
        """The main window's left, top, width and height on the screen."""
        out = xdotool("getwindowgeometry", "--shell", self.window)
        values = dict(line.split("=") for line in out.splitlines())
        return tuple(int(values[name]) for name in ("X", "Y", "WIDTH", "HEIGHT"))

    def geometry(self):
        return self.bounds()[:2]

    def click(self, at, button=1):
        left, top = self.geometry()
        xdotool("mousemove", "--sync", left + at[0], top + at[1], "click", button)

    def app(self, name, content=b"MZ"):
        path = os.path.join(self.apps, name)
        with open(path, "wb") as f:
            f.write(content)
        return path

    def manifest_text(self, template_tool, template=None):
        """What the program holds as its manifest text, as the template tool decodes it from
        `template` (by default the copy in the run's folder)."""
        return subprocess.run([template_tool, "decode", template or os.path.join(self.dir, "style.dll")],
                              capture_output=True, check=True).stdout

    def other_windows(self):
        return [w for w in self.titled_windows() if w != self.window]

    def message_box(self):
        """The open message box's window id, once it is shown."""
        return wait_for(lambda: self.other_windows(), what="a message box")[0]

    def answer(self, box, key):
        xdotool("windowfocus", "--sync", box)
        xdotool("key", key)
        # A closed window may take a while to go; a key typed meanwhile would answer the next box.
        wait_for(lambda: box not in self.titled_windows(), what="the message box to close")

    def no_box_within(self, seconds):
        time.sleep(seconds)
        return self.other_windows() == []

    def park_pointer(self):
        """Moves the pointer off the window, whatever its scale, so no tooltip covers it."""
        left, top, width, height = self.bounds()
        xdotool("mousemove", "--sync", left + width + 50, top + height + 50)

    def screenshot(self):
        return Screenshot()


class SharedWindowCases:
    """The cases every program's driver runs, mixed into its unittest.TestCase: `self.vextra` is a
    started ProgramRun and `self.assets` the folder of the program's pictures."""

    def test_pictures_are_in_place(self):
        v = self.vextra
        v.park_pointer()
        left, top = v.geometry()
        _, _, face = read_bmp(os.path.join(self.assets, "background.bmp"))
        _, _, strip = read_bmp(os.path.join(self.assets, "titlestrip.bmp"))
        shot = wait_for(lambda: (lambda s: s if s.rgb(left + 300, top + 300) == face[300][300] else None)(v.screenshot()),
                        what="the window to be drawn")
        # Everywhere the face is not covered by a field or the title strip, it is the background.
        for y in list(range(34, 186, 6)) + list(range(266, 399, 6)):
            for x in range(0, 600, 7):
                self.assertEqual(shot.rgb(left + x, top + y), face[y][x], "background at %d,%d" % (x, y))
        for y in range(0, 32, 3):
            for x in range(150, 600, 5):
                self.assertEqual(shot.rgb(left + x, top + y), strip[y][x], "title strip at %d,%d" % (x, y))
        # The title strip's last pixel row shows its own colour, not the face.
        self.assertNotEqual(shot.rgb(left + 300, top + 32), face[32][300])
        # The fields show white behind their text.
        for x, y in ((452, 192), (445, 259)):
            self.assertEqual(shot.rgb(left + x, top + y), (255, 255, 255), "field at %d,%d" % (x, y))
        # The file name's text stands at rows 193 to 205 in both programs (a focused field's caret
        # may blink at its left end).
        inked = [y for y in range(189, 214) if any(sum(shot.rgb(left + x, top + y)) < 300 for x in range(261, 455))]
        self.assertEqual((inked[0], inked[-1]), (193, 205))

    def test_title_strip_drags_the_window(self):
        drag_by_title_strip(self.vextra.geometry)

    def test_press_on_the_title_text_does_not_drag(self):
        v = self.vextra
        left, top = v.geometry()
        xdotool("mousemove", "--sync", left + 60, top + 12, "mousedown", 1)  # Label5, the title text
        xdotool("mousemove", "--sync", left + 160, top + 87)
        xdotool("mouseup", 1)
        self.assertTrue(v.no_box_within(0.5))
        self.assertEqual(v.geometry(), (left, top))

    def test_exit_button_ends_the_program(self):
        v = self.vextra
        v.click(EXIT)
        wait_for(lambda: not v.titled_windows(), what="the window to go")
        self.assertEqual(v.process.wait(timeout=30), 0)
