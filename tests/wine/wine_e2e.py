#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""End to end on Windows' terms: the real vextra.exe under Wine in a real X server (Xvfb).

Files are dropped from another process over XDND (Wine hands them to the program's OLE drop
target), clicks and keys come from xdotool, the message boxes are answered with keys. Results are
checked from Linux (content, mode bits, user.DOSATTRIB, times) and from Windows (a helper program asks
for attributes, the window's fields, tooltips and message boxes), and a probe program shows that the
manifest Enable writes really switches it to common controls 6, and that a program carrying a manifest
of its own ignores one beside it.

usage: wine_e2e.py --vextra EXE --probe EXE --probe-trust-info EXE --probe-visual-styles EXE --inspect EXE
                   --xdnd-drop PATH --template-tool PATH --assets DIR
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

# The X helpers are the ones the Linux end-to-end test uses.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from xsession import (ABOUT, DISABLE, DROP_BOX, ENABLE, EXIT, HEIGHT, TITLE, WIDTH, ProgramRun,  # noqa: E402
                      Screenshot, SharedWindowCases, dos_attrib, file_state, plant_manifest, read_bmp, run_in_xvfb,
                      wait_for, xdotool)

ARGS = None
XDND_REFUSED = 2  # xdnd_drop's exit code when the target refuses the drop

TEXT2 = (300, 250)  # in the status field
A_YEAR = 365 * 24 * 3600


def wine(*args, cwd=None, timeout=60):
    """Runs a Windows program to its end through the build's Wine launcher."""
    return subprocess.run([ARGS.wine_run, ARGS.wine, *map(str, args)], cwd=cwd, capture_output=True,
                          timeout=timeout)


def inspect(*args):
    result = wine(ARGS.inspect, *args)
    return result.returncode, result.stdout.decode("utf-8").replace("\r\n", "\n").strip()


def windows_attributes(path):
    code, out = inspect("attributes", path)
    if code != 0:
        raise AssertionError("inspect attributes failed: %s" % out)
    return None if out == "missing" else int(out, 16)


def screenshot():
    """The screen; xwd fails now and then while a tooltip window goes, so that is retried."""
    def attempt():
        try:
            return Screenshot()
        except subprocess.CalledProcessError:
            return None
    return wait_for(attempt, what="a screenshot")


def set_back_a_year(path):
    then = time.time() - A_YEAR
    os.utime(path, (then, then))


def content(path):
    with open(path, "rb") as f:
        return f.read()


def comctl32_of(program):
    """Where the program, started from its own folder, loaded comctl32.dll from (lower case)."""
    result = wine(program, cwd=os.path.dirname(program))
    if result.returncode != 0:
        raise AssertionError("probe failed (%d): %s" % (result.returncode, result.stderr))
    return result.stdout.decode("utf-8").strip().lower()


class Vextra(ProgramRun):
    """vextra.exe under Wine, copied into its own folder, or started as it stands in `folder` with
    the template there; in the environment `env`, if given, with Wine's messages added to `log`."""

    def __init__(self, test, folder=None, env=None, log=None):
        super().__init__(test, "vextra-wine-",
                         template=None if folder else os.path.join(os.path.dirname(ARGS.vextra), "style.dll"))
        if not folder:
            folder = self.dir
            shutil.copy(ARGS.vextra, folder)
        with open(log or os.devnull, "ab") as messages:
            self.process = subprocess.Popen([ARGS.wine, "vextra.exe"], cwd=folder, env=env,
                                            stdout=subprocess.DEVNULL, stderr=messages)
        test.addCleanup(self.close)
        self.window = wait_for(self.main_window, timeout=60, what="the main window")

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait(timeout=10)
        # The Windows process outlives the launcher that was killed: end it through its window.
        window = self.main_window()
        if window:
            pid = xdotool("getwindowpid", window, check=False)
            if pid.isdigit():
                os.kill(int(pid), 9)
            wait_for(lambda: not self.main_window(), what="the window to go")

    def titled_windows(self):
        out = xdotool("search", "--onlyvisible", "--name", "^%s$" % TITLE, check=False)
        return out.split() if out else []

    def size(self, window):
        out = xdotool("getwindowgeometry", "--shell", window, check=False)
        values = dict(line.split("=") for line in out.splitlines() if "=" in line)
        return int(values.get("WIDTH", 0)), int(values.get("HEIGHT", 0))

    def screenshot(self):
        return screenshot()

    def main_window(self):
        return next((w for w in self.titled_windows() if self.size(w) == (WIDTH, HEIGHT)), None)

    def chooser(self):
        """The file chooser's window, once it is shown."""
        def shown():
            out = xdotool("search", "--onlyvisible", "--name", r"^Select App\.\.$", check=False)
            return out.split()[0] if out else None
        return wait_for(shown, timeout=30, what="the file chooser")

    def escape_from_the_chooser(self):
        """Ctrl+O, and Escape in the file chooser it opens, which then closes."""
        xdotool("windowfocus", "--sync", self.window)
        xdotool("key", "ctrl+o")
        chooser = self.chooser()
        xdotool("windowfocus", "--sync", chooser)
        xdotool("key", "Escape")
        wait_for(lambda: chooser not in xdotool("search", "--onlyvisible", "--name", "Select", check=False).split(),
                 what="the chooser to close")

    def xdnd(self, files=(), text=None, at=DROP_BOX):
        command = [ARGS.xdnd_drop] + (["--text", text] if text is not None else [])
        command += [self.window, str(at[0]), str(at[1]), *files]
        return subprocess.run(command, capture_output=True, text=True, timeout=30)

    def drop(self, *files, text=None):
        """A drop on the drop box, which must be taken. Wine marks the window as a drop target a
        moment before the program registers its own, and refuses what comes in between: such a
        drop is retried."""
        def taken():
            result = self.xdnd(files, text)
            return result if result.returncode != XDND_REFUSED else None
        result = wait_for(taken, timeout=15, what="the drop to be taken")
        if result.returncode != 0:
            raise AssertionError("drop failed (%d): %s %s" % (result.returncode, result.stdout, result.stderr))

    def refused_drop(self, *files, at):
        result = self.xdnd(files, at=at)
        return result.returncode == XDND_REFUSED and "status accept=0" in result.stdout

    def answer(self, box, key):
        super().answer(box, key)
        # Reading a field goes through the program's own thread, so it returns once the handler
        # that asked has finished.
        self.fields()

    def boxes(self):
        """The message of each message box the program has open."""
        code, out = inspect("boxes")
        if code != 0:
            raise AssertionError("inspect boxes failed: %s" % out)
        return out.split("\n") if out else []

    def buttons(self):
        """The button captions of each message box the program has open, "|" between them."""
        code, out = inspect("buttons")
        if code != 0:
            raise AssertionError("inspect buttons failed: %s" % out)
        return out.split("\n") if out else []

    def fields(self):
        code, out = inspect("fields")
        if code != 0:
            raise AssertionError("the window's fields were not found")
        return tuple(out.split("\n"))


class Win32WindowEndToEnd(SharedWindowCases, unittest.TestCase):
    def setUp(self):
        self.vextra = Vextra(self)
        self.assets = ARGS.assets

    def manifest_text(self):
        return self.vextra.manifest_text(ARGS.template_tool)

    def assert_time_renewed(self, path, what):
        # Set back a year before: anything within the last minute is the change's own.
        self.assertGreater(os.stat(path).st_mtime, time.time() - 60, what)

    def test_enable_and_disable_switch_a_program_to_common_controls_6_and_back(self):
        # Each change also moves the program's last-write time on, by which Windows keeps what it
        # found of its manifest, and leaves the program's bytes alone.
        v = self.vextra
        probe = os.path.join(v.apps, "probe.exe")
        shutil.copy(ARGS.probe, probe)
        manifest = probe + ".manifest"
        self.assertIn("\\system32\\", comctl32_of(probe))
        set_back_a_year(probe)
        set_back = os.stat(probe).st_mtime_ns

        v.drop(probe)
        wait_for(lambda: v.fields() == ("probe.exe", "No"), what="the name and status")

        v.click(ENABLE)
        v.answer(v.message_box(), "n")
        self.assertFalse(os.path.exists(manifest))
        self.assertEqual(os.stat(probe).st_mtime_ns, set_back, "declined: the time is left alone")

        v.click(ENABLE)
        v.answer(v.message_box(), "Return")  # Yes is the default button
        self.assert_time_renewed(probe, "renewed by Enable")
        self.assertEqual(content(probe), content(ARGS.probe))
        self.assertEqual(dos_attrib(manifest), b"0x6")
        with open(manifest, "rb") as f:
            self.assertEqual(f.read(), self.manifest_text())
        self.assertEqual(os.stat(manifest).st_mode & 0o222, 0)
        self.assertEqual(windows_attributes(manifest) & 7, 7, "read-only, hidden and system")
        loaded = comctl32_of(probe)
        self.assertIn("\\winsxs\\", loaded)
        self.assertIn("common-controls", loaded)

        set_back_a_year(probe)
        v.drop(probe)
        wait_for(lambda: v.fields() == ("probe.exe", "Yes"), what="the status Yes")
        self.assertEqual(windows_attributes(manifest) & 7, 7, "marked again after the lookup")

        v.click(DISABLE)
        box = v.message_box()
        # Nothing changes before the answer: a program ended meanwhile leaves the manifest in force.
        self.assertEqual(windows_attributes(manifest) & 7, 7, "unchanged while asking")
        v.answer(box, "y")
        self.assertFalse(os.path.exists(manifest))
        self.assert_time_renewed(probe, "renewed by Disable")
        self.assertEqual(content(probe), content(ARGS.probe))
        self.assertIn("\\system32\\", comctl32_of(probe))

    def test_a_program_with_its_own_manifest_is_left_alone(self):
        # Windows reads a program's own manifest and never the file beside it: Enable writes none
        # and says why, in a box with only OK, and leaves the program as it was.
        v = self.vextra
        cases = (
            ("own.exe", ARGS.probe_trust_info,
             "own.exe carries its own manifest, which Windows reads instead of own.exe.manifest, "
             "so visual styles cannot be enabled this way."),
            ("styled.exe", ARGS.probe_visual_styles, "styled.exe already asks for visual styles in its own manifest."),
        )
        for name, source, message in cases:
            with self.subTest(name):
                exe = os.path.join(v.apps, name)
                shutil.copy(source, exe)
                set_back_a_year(exe)
                set_back = os.stat(exe).st_mtime_ns
                v.drop(exe)
                wait_for(lambda: v.fields() == (name, "No"), what="the name and status")
                v.click(ENABLE)
                box = v.message_box()
                self.assertEqual(v.boxes(), [message])
                self.assertEqual(v.buttons(), ["OK"])
                v.answer(box, "Return")
                self.assertTrue(v.no_box_within(0.5))
                self.assertFalse(os.path.exists(exe + ".manifest"))
                self.assertEqual(os.stat(exe).st_mtime_ns, set_back)
                self.assertEqual(content(exe), content(source))

        # Why: the manifest Enable would write, put beside each program by hand, switches an
        # ordinary program and not the one whose own manifest leaves the visual styles off.
        own, styled = os.path.join(v.apps, "own.exe"), os.path.join(v.apps, "styled.exe")
        ordinary = os.path.join(v.apps, "ordinary.exe")
        shutil.copy(ARGS.probe, ordinary)
        for exe in (own, ordinary):
            with open(exe + ".manifest", "wb") as f:
                f.write(self.manifest_text())
        self.assertIn("\\winsxs\\", comctl32_of(ordinary))
        self.assertIn("\\system32\\", comctl32_of(own))
        self.assertIn("\\winsxs\\", comctl32_of(styled), "its own manifest already asks for them")

    def test_the_drop_box_and_ctrl_o_open_the_file_chooser(self):
        v = self.vextra
        exe = v.app("chosen.exe")
        v.click(DROP_BOX)
        chooser = v.chooser()
        xdotool("windowfocus", "--sync", chooser)
        xdotool("type", "--delay", "20", "Z:" + exe.replace("/", "\\"))
        xdotool("key", "Return")
        wait_for(lambda: v.fields() == ("chosen.exe", "No"), what="the chosen program's name and status")

        # Escape in the chooser changes nothing.
        v.escape_from_the_chooser()
        self.assertEqual(v.fields(), ("chosen.exe", "No"))
        v.click(ENABLE)
        v.answer(v.message_box(), "Return")
        with open(exe + ".manifest", "rb") as f:
            self.assertEqual(f.read(), self.manifest_text())

    def test_refused_drops_leave_the_target_in_place(self):
        v = self.vextra
        exe = v.app("old.exe")
        v.drop(exe, v.app("second.EXE"))  # only the first file counts
        wait_for(lambda: v.fields() == ("old.exe", "No"), what="the first file's name")

        v.drop(v.app("Prog.Exe"))
        v.answer(v.message_box(), "Return")
        self.assertTrue(v.refused_drop(v.app("other.exe"), at=ENABLE), "only the drop box takes drops")
        self.assertTrue(v.no_box_within(1.0))
        self.assertEqual(v.fields(), ("old.exe", "No"))

        v.click(ENABLE)
        v.answer(v.message_box(), "Return")
        self.assertEqual(dos_attrib(exe + ".manifest"), b"0x6")
        self.assertFalse(os.path.exists(os.path.join(v.apps, "other.exe.manifest")))
        self.assertFalse(os.path.exists(os.path.join(v.apps, "Prog.Exe.manifest")))

    def test_a_drop_while_a_question_is_open_is_turned_down(self):
        v = self.vextra
        first, second = v.app("a.exe"), v.app("b.exe")
        v.drop(first)
        wait_for(lambda: v.fields() == ("a.exe", "No"), what="the name and status")
        v.click(ENABLE)
        box = v.message_box()
        self.assertEqual(v.boxes(), ["Do you want to Enable visual style for a.exe"])
        self.assertTrue(v.refused_drop(second, at=DROP_BOX), "the drop box takes no drop while a box is open")
        v.answer(box, "y")
        self.assertTrue(os.path.exists(first + ".manifest"))
        self.assertFalse(os.path.exists(second + ".manifest"))
        self.assertTrue(v.no_box_within(1.0))
        self.assertEqual(v.fields(), ("a.exe", "No"))

    def test_closed_by_another_program_as_its_exit_control_would(self):
        """taskkill without /F asks the window to close: with a question open, that question is
        answered No first and nothing changes on disk; the program ends with status 0."""
        for name, control in (("the Enable question", ENABLE), ("the Disable question", DISABLE),
                              ("the file chooser", DROP_BOX), ("no box", None)):
            with self.subTest(name):
                v = self.vextra if control == ENABLE else Vextra(self)
                exe = v.app("old.exe")
                if control == DISABLE:
                    plant_manifest(exe)
                set_back_a_year(exe)
                before = os.stat(exe).st_mtime_ns, file_state(exe + ".manifest")
                v.drop(exe)
                wait_for(lambda: v.fields() == ("old.exe", "Yes" if control == DISABLE else "No"),
                         what="the name and status")
                if control:
                    v.click(control)
                    v.chooser() if control == DROP_BOX else v.message_box()
                result = wine("taskkill", "/im", "vextra.exe")
                self.assertEqual(result.returncode, 0, result)
                self.assertEqual(v.process.wait(timeout=30), 0)
                self.assertEqual((os.stat(exe).st_mtime_ns, file_state(exe + ".manifest")), before)
                wait_for(lambda: not v.main_window(), what="the window to go")

    def test_text_drop_reaches_the_drop_box_without_a_file(self):
        v = self.vextra
        v.drop(text="just text")  # no file and no earlier drop: refused with a message
        v.answer(v.message_box(), "Return")
        self.assertEqual(v.fields(), ("Select App..", "Select App.."))

    def test_about_panel_covers_the_face_and_takes_its_drops(self):
        v = self.vextra
        left, top = v.geometry()
        _, _, face = read_bmp(os.path.join(ARGS.assets, "background.bmp"))
        # Dark parts of the face where the panel has nothing of its own: the ornament at the left
        # edge, covered only once the panel has come to rest, and the buttons' captions.
        ornament = [(x, y) for y in range(40, 399) for x in range(0, 10) if sum(face[y][x]) < 200]
        captions = [(x, y) for y in range(350, 372) for x in range(250, 580) if sum(face[y][x]) < 200]
        self.assertTrue(ornament and captions)

        def white(points):
            shot = screenshot()
            return [shot.rgb(left + x, top + y) == (255, 255, 255) for x, y in points]

        v.click(ABOUT)
        v.park_pointer()
        wait_for(lambda: all(white(ornament)), what="the panel to come to rest")  # clicks before are ignored
        self.assertGreater(sum(white(captions)), len(captions) * 0.95, "the panel covers the buttons")
        self.assertTrue(v.refused_drop(v.app("hidden.exe"), at=DROP_BOX), "the panel lies over the drop box")

        v.click(ENABLE)  # on the panel's background: slides out
        v.park_pointer()
        wait_for(lambda: not any(white(ornament + captions)), what="the panel to slide out")
        shot = screenshot()
        for x, y in (ornament + captions)[::5]:
            self.assertEqual(shot.rgb(left + x, top + y), face[y][x])

    def test_tab_goes_round_in_tab_order(self):
        v = self.vextra
        # Child ids are the controls' numbers + 1.
        names = {21: "Text1", 20: "Text2", 14: "Picture1", 4: "Picture2"}

        def focused():
            code, out = inspect("focus")
            return names.get(int(out)) if code == 0 else None

        wait_for(lambda: focused() == "Text1", what="Text1 to have the focus at start")
        xdotool("windowfocus", "--sync", v.window)

        def round_of(key, expected):
            for name in expected:
                xdotool("key", key)
                wait_for(lambda: focused() == name, what="%s to take the focus after %s" % (name, key))

        round_of("Tab", ["Text2", "Picture1", "Text1"])
        round_of("shift+Tab", ["Picture1", "Text2", "Text1"])
        v.click(ABOUT)
        v.park_pointer()
        xdotool("windowfocus", "--sync", v.window)
        round_of("Tab", ["Text2", "Picture1", "Picture2", "Text1"])
        round_of("shift+Tab", ["Picture2", "Picture1", "Text2", "Text1"])

    def test_keys_do_what_clicks_do(self):
        """Alt+E and Alt+D ask Enable's and Disable's questions, F1 slides the About panel in and
        Escape out again, with the focus in a field."""
        v = self.vextra
        exe = v.app("old.exe")
        left, top = v.geometry()
        _, _, face = read_bmp(os.path.join(ARGS.assets, "background.bmp"))
        captions = [(x, y) for y in range(350, 372) for x in range(250, 580) if sum(face[y][x]) < 200]
        # The ornament at the left edge is covered only once the panel has come to rest.
        ornament = [(x, y) for y in range(40, 399) for x in range(0, 10) if sum(face[y][x]) < 200]

        def covered():
            shot = screenshot()
            return all(shot.rgb(left + x, top + y) == (255, 255, 255) for x, y in ornament)

        for key, status, question, answer in (("alt+e", "No", "Enable", "y"), ("alt+d", "Yes", "Disable", "n")):
            v.drop(exe)
            wait_for(lambda: v.fields() == ("old.exe", status), what="the name and status")
            xdotool("windowfocus", "--sync", v.window)
            xdotool("key", key)
            box = v.message_box()
            self.assertEqual(v.boxes(), ["Do you want to %s visual style for old.exe" % question])
            v.answer(box, answer)
            self.assertTrue(os.path.exists(exe + ".manifest"))
        v.park_pointer()
        xdotool("windowfocus", "--sync", v.window)
        xdotool("key", "F1")
        wait_for(covered, what="the About panel to come to rest")
        xdotool("key", "Escape")
        wait_for(lambda: not any(screenshot().rgb(left + x, top + y) == (255, 255, 255) for x, y in captions[::9]),
                 what="the About panel to slide out")

    def test_the_title_strip_shows_the_focus_with_a_dotted_rectangle(self):
        """Tabbed to, a field selects its text and the title strip draws Windows' focus rectangle
        one pixel inside its edges: every other pixel inverted. Without the focus the strip is its
        picture."""
        v = self.vextra
        v.park_pointer()
        left, top = v.geometry()
        _, _, strip = read_bmp(os.path.join(ARGS.assets, "titlestrip.bmp"))
        row = range(150, 599)

        def inverted_on_row_1():
            shot = screenshot()
            seen = [shot.rgb(left + x, top + 1) for x in row]
            return [p == tuple(255 - c for c in strip[1][x]) for x, p in zip(row, seen)], \
                   [p == strip[1][x] for x, p in zip(row, seen)]

        def status_selected():
            shot = screenshot()
            return any(len(set(shot.rgb(left + x, top + y))) > 1 for x in range(258, 448, 2) for y in range(239, 261, 2))

        inverted, plain = inverted_on_row_1()
        self.assertTrue(all(plain), "no rectangle without the focus")
        self.assertFalse(status_selected(), "the status field shows black on white")
        xdotool("windowfocus", "--sync", v.window)
        xdotool("key", "Tab")
        wait_for(status_selected, what="the status field tabbed to to select its text")
        xdotool("key", "Tab")
        inverted, plain = wait_for(lambda: (lambda r: r if any(r[0]) else None)(inverted_on_row_1()),
                                   what="the focus rectangle")
        self.assertFalse(status_selected(), "the selection goes with the focus")
        self.assertTrue(all(i != p for i, p in zip(inverted, plain)), "each pixel its own or inverted")
        self.assertTrue(all(a != b for a, b in zip(inverted, inverted[1:])), "every other pixel inverted")
        shot = screenshot()
        self.assertTrue(all(shot.rgb(left + x, top + 3) == strip[3][x] for x in row), "inside: the picture")

    def test_a_dark_colour_scheme_leaves_the_face_as_the_pictures_are(self):
        """Under a high-contrast scheme (white on black) the message boxes turn black, the window's
        face, fields and About panel stay pixel for pixel as under the standard scheme."""
        key = r"HKCU\Control Panel\Colors"
        scheme = {"Window": "0 0 0", "WindowText": "255 255 255", "ButtonFace": "0 0 0", "ButtonText": "255 255 255"}

        def set_colour(name, value):
            result = wine("reg", "add", key, "/v", name, "/t", "REG_SZ", "/d", value, "/f")
            self.assertEqual(result.returncode, 0, result)

        for name, value in scheme.items():
            result = wine("reg", "query", key, "/v", name)
            self.assertEqual(result.returncode, 0, result)
            before = result.stdout.decode().split("REG_SZ")[1].strip()
            self.addCleanup(set_colour, name, before)
            set_colour(name, value)

        # The focused file name field's caret blinks at its left end, in either shot or neither.
        caret = [(x, y) for y in range(189, 214) for x in range(256, 263)]

        def faces(v):
            v.park_pointer()
            left, top = v.geometry()

            def rows():
                shot = screenshot()
                face = [[shot.rgb(left + x, top + y) for x in range(WIDTH)] for y in range(HEIGHT)]
                for x, y in caret:
                    face[y][x] = None
                return face

            def at_rest():
                # A closed box's place is painted again, and the panel slides in, as fast as a busy
                # machine allows: the face is at rest when two shots half a second apart agree.
                first = rows()
                time.sleep(0.5)
                second = rows()
                return second if second == first else None

            closed = wait_for(at_rest, timeout=30, what="the window to be painted")
            v.click(ABOUT)
            v.park_pointer()
            return closed, wait_for(at_rest, timeout=30, what="the About panel to come to rest")

        light = faces(self.vextra)
        self.vextra.close()
        dark = Vextra(self)
        dark.drop(dark.app("notes.txt"))
        box = dark.message_box()
        out = xdotool("getwindowgeometry", "--shell", box)
        geometry = dict(line.split("=") for line in out.splitlines())
        self.assertEqual(screenshot().rgb(int(geometry["X"]) + 20, int(geometry["Y"]) + 40), (0, 0, 0),
                         "the scheme is in force: the box is black")
        dark.answer(box, "Return")
        shaded = faces(dark)
        for which in (0, 1):
            for y in range(HEIGHT):
                self.assertEqual(shaded[which][y], light[which][y],
                                 "row %d, About panel %s" % (y, "shown" if which else "parked"))

    def test_the_file_chooser_opens_where_the_programs_are(self):
        """First in the home folder (not the program's own, which holds the template), then in the
        folder of the program last dropped: a bare name typed in the chooser is found there."""
        v = self.vextra
        result = wine("cmd", "/c", "echo %USERPROFILE%")
        profile = result.stdout.decode().strip()
        self.assertRegex(profile, r"^C:\\users\\[^\\]+$")
        home = os.path.join(os.environ["WINEPREFIX"], "drive_c", "users", profile.split("\\")[-1])
        in_home = os.path.join(home, "vextra-test-home.exe")
        with open(in_home, "wb") as f:
            f.write(b"MZ")
        self.addCleanup(os.remove, in_home)

        def choose(name):
            v.click(DROP_BOX)
            chooser = v.chooser()
            xdotool("windowfocus", "--sync", chooser)
            xdotool("type", "--delay", "20", name)
            xdotool("key", "Return")
            wait_for(lambda: v.fields()[0] == name, what="%s to be chosen" % name)

        with open(os.path.join(v.dir, "vextra-test-home.exe"), "wb") as f:  # the working folder's: not to be chosen
            f.write(b"MZ")
        choose("vextra-test-home.exe")
        self.assertEqual(v.fields(), ("vextra-test-home.exe", "No"))
        self.assertTrue(os.path.exists(in_home))
        v.click(ENABLE)
        v.answer(v.message_box(), "y")
        self.assertTrue(os.path.exists(in_home + ".manifest"), "the home folder's program was chosen")
        self.addCleanup(lambda: os.path.exists(in_home + ".manifest") and (os.chmod(in_home + ".manifest", 0o644),
                                                                            os.remove(in_home + ".manifest")))
        v.drop(v.app("old.exe"))
        v.app("other.exe")
        choose("other.exe")
        v.click(ENABLE)
        v.answer(v.message_box(), "y")
        self.assertTrue(os.path.exists(os.path.join(v.apps, "other.exe.manifest")))

    def test_tooltips_name_the_hot_spots_and_fields(self):
        v = self.vextra
        left, top = v.geometry()
        for at, text in ((DROP_BOX, "Drag and Drop your Old App..."), (DISABLE, "Disable Visual Style..."),
                         (EXIT, "Exit"), (TEXT2, "Style Status")):
            with self.subTest(text):
                v.park_pointer()
                wait_for(lambda: inspect("tooltip")[0] != 0, what="no tooltip")
                xdotool("mousemove", "--sync", left + at[0], top + at[1])
                wait_for(lambda: inspect("tooltip") == (0, text), what="the tooltip " + text)

    def test_version_block_icon_and_own_manifest(self):
        code, out = inspect("resources", ARGS.vextra)
        self.assertEqual(code, 0, out)
        fields = dict(line.split("=", 1) for line in out.split("\n"))
        expected = {
            "FixedFileVersion": "1.0.0.0", "FixedProductVersion": "1.0.0.0",
            "FileOS": "0x4", "FileType": "0x1",  # 32-bit Windows, application
            "Translation": "0x0409,0x04b0",
            "Comments": "Enable New Visual Styles for your Old Apps.",
            "ProductName": "Korvane Vextra", "LegalTrademarks": "Vextra", "InternalName": "vextra",
            "OriginalFilename": "vextra.exe", "FileVersion": "1.00", "ProductVersion": "1.00",
            "IconImages": "8",
            "Manifest has Microsoft.Windows.Common-Controls": "yes", "Manifest has asInvoker": "yes",
        }
        self.assertEqual({k: fields.get(k) for k in expected}, expected)
        for name in ("CompanyName", "FileDescription", "LegalCopyright"):
            self.assertTrue(fields.get(name), name)


class WindowsZip(unittest.TestCase):
    """The zip a Windows user downloads, made by CPack from this build: exactly the programs,
    stripped, the template, a read-me and the licence, in one folder; unpacked, the window starts
    from that folder and the command line from any, and both write their manifests from the
    template there."""

    FILES = {"vextra.exe", "vextra-cli.exe", "style.dll", "README.txt", "LICENSE.txt"}

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="zip-", dir=os.getcwd())
        subprocess.run([ARGS.cpack, "--config", ARGS.cpack_config, "-B", cls.work], check=True, capture_output=True)
        [cls.zip] = [os.path.join(cls.work, name) for name in os.listdir(cls.work) if name.endswith(".zip")]
        cls.top = os.path.basename(cls.zip)[:-len(".zip")]
        with zipfile.ZipFile(cls.zip) as archive:
            cls.names = archive.namelist()
            archive.extractall(cls.work)
        cls.folder = os.path.join(cls.work, cls.top)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, True)

    def test_holds_the_stripped_programs_the_template_and_their_papers(self):
        self.assertTrue(self.top.startswith("vextra-%s-win" % ARGS.version), self.top)
        self.assertEqual(set(self.names), {self.top + "/" + name for name in self.FILES})
        for program in ("vextra.exe", "vextra-cli.exe"):
            sections = subprocess.run([ARGS.objdump, "--section-headers", os.path.join(self.folder, program)],
                                      check=True, capture_output=True, text=True).stdout
            self.assertNotIn(".debug", sections, program)
        with open(os.path.join(self.folder, "README.txt"), "rb") as f:
            self.assertIn(b"Korvane Vextra %s\r\n" % ARGS.version.encode(), f.read())

    def test_texts_open_as_windows_users_open_them(self):
        # Every line ends in CR LF, and the read-me fits a window 80 columns wide.
        texts = {}
        for name in ("README.txt", "LICENSE.txt"):
            with open(os.path.join(self.folder, name), "rb") as f:
                texts[name] = f.read()
        for name, text in texts.items():
            self.assertTrue(text.endswith(b"\r\n"), name)
            self.assertEqual(text.count(b"\n"), text.count(b"\r\n"), name)
            self.assertNotIn(b"\r\r", text, name)
        self.assertTrue(texts["LICENSE.txt"].startswith(b"MIT License\r\n"))
        with open(os.path.join(self.folder, "README.txt"), encoding="utf-8", newline="\r\n") as f:
            self.assertEqual([line for line in f if len(line.rstrip("\r\n")) > 80], [])

    def test_starts_from_the_unpacked_folder(self):
        v = Vextra(self, folder=self.folder)
        exe = v.app("old.exe")
        v.drop(exe)
        v.click(ENABLE)
        v.answer(v.message_box(), "Return")
        with open(exe + ".manifest", "rb") as f:
            self.assertEqual(f.read(), v.manifest_text(ARGS.template_tool, os.path.join(self.folder, "style.dll")))

    def test_command_line_finds_the_template_beside_it_from_any_folder(self):
        work = tempfile.mkdtemp(prefix="cli-", dir=self.work)
        exe = os.path.join(work, "old.exe")
        with open(exe, "wb") as f:
            f.write(b"MZ")
        enabled = wine(os.path.join(self.folder, "vextra-cli.exe"), "enable", "--yes", "old.exe", cwd=work)
        self.assertEqual((enabled.returncode, enabled.stdout, enabled.stderr), (0, b"old.exe: Yes\r\n", b""))
        decoded = subprocess.run([ARGS.template_tool, "decode", os.path.join(self.folder, "style.dll")],
                                 capture_output=True, check=True).stdout
        with open(exe + ".manifest", "rb") as f:
            self.assertEqual(f.read(), decoded)


def prepare_wine():
    """The prefix the environment names (the build gives the test one of its own), made once."""
    if "WINEPREFIX" not in os.environ:
        raise SystemExit("WINEPREFIX is not set: run this test through ctest")
    if not os.path.exists(os.path.join(os.environ["WINEPREFIX"], "system.reg")):
        subprocess.run([ARGS.wine, "wineboot", "--init"], check=True, capture_output=True, timeout=300)
    subprocess.run(["wineserver", "--wait"], check=True, timeout=300)


def parse_arguments():
    """The options every script that drives the Windows program takes, kept for Vextra, with the
    tools checked; the arguments left for unittest."""
    global ARGS
    parser = argparse.ArgumentParser()
    for option in ("--vextra", "--probe", "--probe-trust-info", "--probe-visual-styles", "--inspect", "--xdnd-drop",
                   "--template-tool", "--assets", "--wine", "--wine-run", "--cpack", "--cpack-config",
                   "--objdump", "--version"):
        parser.add_argument(option, required=True)
    ARGS, rest = parser.parse_known_args()
    for tool in (ARGS.wine, "wineserver", "Xvfb", "xdotool", "xwd"):
        if not shutil.which(tool):
            raise SystemExit("%s is missing: run scripts/install-deps" % tool)
    return rest


def end_wine():
    """Ends the processes of the test's own prefix (its desktop) before their X server goes."""
    subprocess.run(["wineserver", "--kill"], timeout=60)


def main():
    return run_in_xvfb(parse_arguments(), prepare=prepare_wine, finish=end_wine)


if __name__ == "__main__":
    sys.exit(main())
