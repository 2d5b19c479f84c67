"""What the end-to-end tests share: a private X server, xdotool, waiting, and screenshots
compared with the program's own pictures."""
import os
import struct
import subprocess
import time


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


def drag_by_title_strip(geometry):
    """Drags the window by a free spot of its title strip in steps, as a hand would, and waits until
    it has followed the pointer; `geometry` gives the window's position on the screen."""
    left, top = geometry()
    xdotool("mousemove", "--sync", left + 300, top + 16, "mousedown", 1)
    for step in range(1, 6):
        xdotool("mousemove", "--sync", left + 300 + 20 * step, top + 16 + 15 * step)
    xdotool("mouseup", 1)
    wait_for(lambda: geometry() == (left + 100, top + 75), what="the window to follow the pointer")


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


def start_xvfb():
    """A private X server that stays up between clients; DISPLAY points at it."""
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"],
                            pass_fds=(write,), stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as f:
        display = f.readline().strip()
    if not display:
        raise SystemExit("Xvfb did not start")
    os.environ["DISPLAY"] = ":" + display
    return xvfb
