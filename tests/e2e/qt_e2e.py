#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""End to end: the real vextra binary in a real X server (Xvfb), driven as a person would.

Files are dropped from another process over XDND (xdnd_drop), clicks and keys come from xdotool,
the message boxes are answered with keys, and the results are checked on disk: content, mode bits
and the user.DOSATTRIB attribute that Wine reads. Screenshots prove the pictures sit in place.

usage: qt_e2e.py --vextra PATH --xdnd-drop PATH --template-tool PATH --assets DIR --pe-fixtures DIR
"""
import argparse
import glob
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

from xsession import (ABOUT, DISABLE, DROP_BOX, ENABLE, EXIT, TITLE, ProgramRun, Screenshot, SharedWindowCases,
                      dos_attrib, file_state, plant_manifest, read_bmp, run_in_xvfb, wait_for, xdotool)

ARGS = None
class Vextra(ProgramRun):
    """The Linux program, started in its own folder."""

    def __init__(self, test, prepare=None, program=None, start_in=None, env=None):
        """`prepare`, given the run's folder, changes it before the start. `program` (by default
        the built one) starts in `start_in`, or else in the run's folder with the built template,
        with `env` added to the environment."""
        program = program or ARGS.vextra
        super().__init__(test, "vextra-e2e-",
                         template=None if start_in else os.path.join(os.path.dirname(program), "style.dll"))
        if prepare:
            prepare(self.dir)
        self.process = subprocess.Popen([program], cwd=start_in or self.dir, env=dict(os.environ, **(env or {})))
        test.addCleanup(self.close)
        self.window = wait_for(lambda: self.titled_windows(), what="the main window")[0]
        # Wait until the window takes drops (Qt marks it XdndAware when it is mapped and ready).
        wait_for(lambda: "XdndAware" in subprocess.run(["xprop", "-id", self.window], capture_output=True,
                                                       text=True).stdout, what="XdndAware")

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait(timeout=10)

    def titled_windows(self):
        out = xdotool("search", "--onlyvisible", "--pid", self.process.pid, "--name", "^%s$" % TITLE, check=False)
        return out.split() if out else []

    def drop_files(self, *paths, at=DROP_BOX, refused=False):
        """Drops `paths`; they must be taken, or with `refused` be turned down by the window."""
        result = subprocess.run([ARGS.xdnd_drop, self.window, str(at[0]), str(at[1]), *paths], capture_output=True,
                                text=True, timeout=30)
        if result.returncode != (2 if refused else 0):
            raise AssertionError("drop %s (%d): %s %s" % ("taken" if refused else "failed", result.returncode,
                                                          result.stdout, result.stderr))

    def drop_text(self, text, at=DROP_BOX):
        result = subprocess.run([ARGS.xdnd_drop, "--text", text, self.window, str(at[0]), str(at[1])],
                                capture_output=True, text=True, timeout=30)
        if result.returncode != 0:
            raise AssertionError("text drop failed (%d): %s" % (result.returncode, result.stderr))


class QtWindowWithoutATemplate(unittest.TestCase):
    """Whatever stands at "style.dll", the window opens at once: nothing there is waited for or
    read whole, and Enable says that it has no template instead of asking."""

    def test_templates_that_cannot_be_loaded(self):
        def too_large(path):
            with open(path, "wb") as f:
                f.truncate(256 << 20)

        def cut_short(path):
            with open(path, "wb") as f:
                f.write(b"{\\rtf1 {\\'c8")

        cases = (("a FIFO", os.mkfifo), ("a link to an endless device", lambda path: os.symlink("/dev/zero", path)),
                 ("256 MiB", too_large), ("cut short", cut_short))
        for name, make in cases:
            with self.subTest(name):
                def prepare(folder):
                    os.remove(os.path.join(folder, "style.dll"))
                    make(os.path.join(folder, "style.dll"))
                v = Vextra(self, prepare=prepare)
                exe = v.app("old.exe")
                v.drop_files(exe)
                v.click(ENABLE)
                v.answer(v.message_box(), "Return")  # OK on the warning; on a question this would be Yes
                self.assertTrue(v.no_box_within(0.5))
                self.assertFalse(os.path.exists(exe + ".manifest"))
                v.close()


class QtWindowEndToEnd(SharedWindowCases, unittest.TestCase):
    def setUp(self):
        self.vextra = Vextra(self)
        self.assets = ARGS.assets

    def manifest_text(self):
        return self.vextra.manifest_text(ARGS.template_tool)

    def test_drop_enable_drop_disable(self):
        v = self.vextra
        exe = v.app("old.exe")
        manifest = exe + ".manifest"
        long_ago = time.time() - 365 * 24 * 3600
        os.utime(exe, (long_ago, long_ago))
        v.drop_files(exe)

        v.click(ENABLE)  # Enable
        v.answer(v.message_box(), "n")
        self.assertFalse(os.path.exists(manifest))

        v.click(ENABLE)
        v.answer(v.message_box(), "Return")  # Yes is the default button
        renewed = lambda: os.stat(exe).st_mtime > time.time() - 60  # noqa: E731
        # The box goes before the program has done the work; renewing the time is its last step.
        wait_for(renewed, what="Enable to finish")
        with open(manifest, "rb") as f:
            self.assertEqual(f.read(), self.manifest_text())
        self.assertIn(b"Microsoft.Windows.Common-Controls", self.manifest_text())
        self.assertEqual(os.stat(manifest).st_mode & 0o222, 0)
        self.assertEqual(dos_attrib(manifest), b"0x6")
        # Windows keeps a program's manifest by its last-write time, which moves on with each change.
        self.assertGreater(os.stat(exe).st_mtime, time.time() - 60)
        with open(exe, "rb") as f:
            self.assertEqual(f.read(), b"MZ")
        os.utime(exe, (long_ago, long_ago))

        v.drop_files(exe)  # now "Yes"
        v.click(DISABLE)  # Disable
        box = v.message_box()
        # Nothing changes before the answer: a program ended meanwhile leaves the manifest in force.
        self.assertEqual(os.stat(manifest).st_mode & 0o222, 0, "unchanged while asking")
        self.assertEqual(dos_attrib(manifest), b"0x6")
        v.answer(box, "y")
        wait_for(renewed, what="Disable to finish")
        self.assertFalse(os.path.exists(manifest))

    def test_disable_declined_keeps_the_manifest_marked(self):
        v = self.vextra
        exe = v.app("kept.EXE")
        with open(exe + ".manifest", "w") as f:
            f.write("<x/>")
        v.drop_files(exe, v.app("second.exe"))
        v.click(DISABLE)
        v.answer(v.message_box(), "Escape")
        self.assertEqual(dos_attrib(exe + ".manifest"), b"0x6")
        self.assertEqual(os.stat(exe + ".manifest").st_mode & 0o222, 0)

    def test_a_program_with_its_own_manifest_is_left_alone(self):
        v = self.vextra
        exe = os.path.join(v.apps, "own.exe")
        shutil.copy(os.path.join(ARGS.pe_fixtures, "i686", "trust-info.exe"), exe)
        before = os.stat(exe)
        v.drop_files(exe)
        v.click(ENABLE)
        v.answer(v.message_box(), "Return")  # OK on the warning; on a question this would be Yes
        self.assertTrue(v.no_box_within(0.5))
        self.assertFalse(os.path.exists(exe + ".manifest"))
        self.assertEqual(os.stat(exe).st_mtime_ns, before.st_mtime_ns)

    def test_a_drop_while_a_question_is_open_is_turned_down(self):
        v = self.vextra
        first, second = v.app("a.exe"), v.app("b.exe")
        v.drop_files(first)
        v.click(ENABLE)
        box = v.message_box()
        v.drop_files(second, refused=True)
        v.answer(box, "y")
        # The box goes before the program has saved: a busy machine may take a moment.
        wait_for(lambda: os.path.exists(first + ".manifest"), what="the first program's manifest")
        self.assertFalse(os.path.exists(second + ".manifest"))
        self.assertTrue(v.no_box_within(0.5))

    def test_refused_drop_warns_without_holding_the_drag_source(self):
        v = self.vextra
        v.drop_files(v.app("notes.txt"))  # returns only once the drop has finished
        v.answer(v.message_box(), "Return")
        v.click(ENABLE)  # still no target: Enable asks nothing
        self.assertTrue(v.no_box_within(1.0))

    def test_text_drop_reaches_the_drop_label(self):
        v = self.vextra
        v.drop_text("just text")
        v.answer(v.message_box(), "Return")

    def test_about_panel_slides_in_and_out(self):
        v = self.vextra
        left, top = v.geometry()
        _, _, face = read_bmp(os.path.join(ARGS.assets, "background.bmp"))
        # The captions of the Enable and Disable buttons, where the panel has nothing of its own.
        dark_on_face = [(x, y) for y in range(350, 372) for x in range(250, 580) if sum(face[y][x]) < 200]
        self.assertTrue(dark_on_face)

        v.click(ABOUT)
        time.sleep(1.5)
        shot = Screenshot()
        covered = [(x, y) for x, y in dark_on_face if shot.rgb(left + x, top + y) == (255, 255, 255)]
        self.assertGreater(len(covered), len(dark_on_face) * 0.8, "the panel covers the buttons")

        v.click((300, 380))  # a click on the panel's background slides it out
        time.sleep(1.5)
        shot = Screenshot()
        for x, y in dark_on_face[::5]:
            self.assertEqual(shot.rgb(left + x, top + y), face[y][x])

    def test_a_tooltip_shows_before_the_window_was_ever_clicked(self):
        v = self.vextra
        left, top = v.geometry()
        before = set(xdotool("search", "--onlyvisible", "--pid", v.process.pid, "", check=False).split())
        xdotool("mousemove", "--sync", left + DROP_BOX[0], top + DROP_BOX[1])
        xdotool("mousemove", "--sync", left + DROP_BOX[0] + 3, top + DROP_BOX[1] + 2)
        wait_for(lambda: set(xdotool("search", "--onlyvisible", "--pid", v.process.pid, "", check=False).split())
                 - before, timeout=5, what="the drop box's tooltip")

    def test_moves_queued_while_the_program_stalls_land_the_window_under_the_pointer(self):
        """Moves in 1 px steps, 1 ms apart, with the program stopped for a while in the middle: the
        events it then finds queued were made while the window stood elsewhere."""
        v = self.vextra
        for run in range(3):
            left, top = v.geometry()
            xdotool("mousemove", "--sync", left + 300, top + 16, "mousedown", 1)
            steps = []
            for step in range(1, 241):
                steps += ["mousemove", left + 300 + step // 2, top + 16 + step // 4, "sleep", "0.001"]
            mover = subprocess.Popen(["xdotool", *map(str, steps)])
            time.sleep(0.1)
            os.kill(v.process.pid, signal.SIGSTOP)
            time.sleep(0.15)
            os.kill(v.process.pid, signal.SIGCONT)
            mover.wait(timeout=30)
            xdotool("mouseup", 1)
            wait_for(lambda: v.geometry() == (left + 120, top + 60), what="the window under the pointer, run %d" % run)



class QtWindowEndedFromOutside(unittest.TestCase):
    """SIGTERM, SIGINT and SIGHUP end the window as its exit control does (status 0); an open
    question is first answered No, so nothing changes on disk."""

    def test_signals_with_and_without_an_open_box(self):
        cases = (("no box", signal.SIGTERM, None), ("the Enable question", signal.SIGTERM, ENABLE),
                 ("the Disable question", signal.SIGTERM, DISABLE), ("the Enable question", signal.SIGINT, ENABLE),
                 ("the Disable question", signal.SIGHUP, DISABLE), ("the file chooser", signal.SIGTERM, DROP_BOX))
        for name, number, control in cases:
            with self.subTest(name, signal=signal.Signals(number).name):
                v = Vextra(self)
                exe = v.app("old.exe")
                if control == DISABLE:
                    plant_manifest(exe)
                long_ago = int(time.time() - 365 * 24 * 3600) * 10**9
                os.utime(exe, ns=(long_ago, long_ago))
                before = file_state(exe + ".manifest")
                v.drop_files(exe)
                if control:
                    v.click(control)
                    v.message_box()
                v.process.send_signal(number)
                self.assertEqual(v.process.wait(timeout=30), 0)
                self.assertEqual(file_state(exe + ".manifest"), before)
                self.assertEqual(os.stat(exe).st_mtime_ns, long_ago)
                v.close()


class QtWindowOnTheDesktop(unittest.TestCase):
    """What the desktop sees of the window: its name for docks and task switchers, its look under a
    dark theme, what it writes in the user's folders, and its one line when no display answers."""

    def window_shot(self, v):
        v.park_pointer()
        left, top = v.geometry()
        _, _, face = read_bmp(os.path.join(ARGS.assets, "background.bmp"))
        shot = wait_for(lambda: (lambda s: s if s.rgb(left + 300, top + 300) == face[300][300] else None)(Screenshot()),
                        what="the window to be drawn")
        return [[shot.rgb(left + x, top + y) for x in range(600)] for y in range(399)]

    def test_the_window_is_named_by_its_desktop_entry(self):
        entries = glob.glob(os.path.join(ARGS.assets, os.pardir, "packaging", "linux", "*.desktop.in"))
        self.assertEqual(len(entries), 1)
        app_id = os.path.basename(entries[0])[:-len(".desktop.in")]
        with open(entries[0]) as f:
            self.assertIn("StartupWMClass=@VEXTRA_APP_ID@\n", f.read())  # the build writes the id there
        v = Vextra(self)
        out = subprocess.run(["xprop", "-id", v.window, "WM_CLASS"], capture_output=True, text=True, check=True).stdout
        self.assertEqual(out.strip(), 'WM_CLASS(STRING) = "vextra", "%s"' % app_id)

    def test_the_wayland_app_id_is_the_desktop_entrys(self):
        """On a headless weston, the id the window asks the compositor for, as the protocol log shows."""
        runtime = tempfile.mkdtemp(prefix="vextra-wayland-", dir=os.getcwd())
        self.addCleanup(shutil.rmtree, runtime, True)
        os.chmod(runtime, 0o700)
        env = dict(os.environ, XDG_RUNTIME_DIR=runtime)
        env.pop("DISPLAY", None)
        weston = subprocess.Popen(["weston", "--backend=headless-backend.so", "--socket=vextra-test", "--idle-time=0"],
                                  env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(weston.wait, 10)
        self.addCleanup(weston.terminate)
        wait_for(lambda: os.path.exists(os.path.join(runtime, "vextra-test")), what="weston's socket")
        work = tempfile.mkdtemp(prefix="vextra-wayland-run-", dir=os.getcwd())
        self.addCleanup(shutil.rmtree, work, True)
        log = open(os.path.join(work, "protocol.log"), "w+")
        self.addCleanup(log.close)
        program = subprocess.Popen([ARGS.vextra], cwd=work, stderr=log, stdout=subprocess.DEVNULL,
                                   env=dict(env, WAYLAND_DISPLAY="vextra-test", QT_QPA_PLATFORM="wayland",
                                            WAYLAND_DEBUG="client"))
        self.addCleanup(program.wait, 10)
        self.addCleanup(program.kill)

        def app_id():
            log.seek(0)
            found = re.findall(r"xdg_toplevel@\d+\.set_app_id\(\"([^\"]*)\"\)", log.read())
            return found[0] if found else None
        self.assertEqual(wait_for(app_id, what="the window's app_id"), "example.korvane.Vextra")

    def test_a_dark_theme_leaves_the_face_as_the_pictures_are(self):
        """GTK's dark theme through Qt's GTK platform theme: the message boxes turn dark, the window's
        face, with its title text, fields and About panel, stays pixel for pixel as under the light one."""
        dark = {"QT_QPA_PLATFORMTHEME": "gtk3", "GTK_THEME": "Adwaita:dark"}
        shots = {}
        for name, env in (("light", {}), ("dark", dark)):
            v = Vextra(self, env=env)
            closed = self.window_shot(v)
            if name == "dark":
                v.drop_files(v.app("notes.txt"))
                box = v.message_box()
                out = xdotool("getwindowgeometry", "--shell", box)
                geometry = dict(line.split("=") for line in out.splitlines())
                self.assertLess(sum(Screenshot().rgb(int(geometry["X"]) + 5, int(geometry["Y"]) + 5)), 3 * 100,
                                "the theme is dark: so are the message boxes")
                v.answer(box, "Return")
            v.click(ABOUT)
            time.sleep(1.5)
            shots[name] = (closed, self.window_shot(v))
            v.close()
        for which in (0, 1):
            for y in range(399):
                self.assertEqual(shots["dark"][which][y], shots["light"][which][y],
                                 "row %d, About panel %s" % (y, "shown" if which else "parked"))

    def test_the_file_chooser_writes_nothing(self):
        """Qt's chooser would keep its history in ~/.config/QtProject.conf."""
        home = tempfile.mkdtemp(prefix="vextra-home-", dir=os.getcwd())
        self.addCleanup(shutil.rmtree, home, True)
        v = Vextra(self, env={"HOME": home, "XDG_CONFIG_HOME": os.path.join(home, ".config")})
        exe = v.app("chosen.exe")
        xdotool("windowfocus", "--sync", v.window)
        xdotool("key", "ctrl+o")
        chooser = wait_for(lambda: xdotool("search", "--onlyvisible", "--name", r"^Select App\.\.$", check=False),
                           what="the file chooser").split()[0]
        xdotool("windowfocus", "--sync", chooser)
        xdotool("type", "--delay", "20", exe)
        xdotool("key", "Return")
        wait_for(lambda: not xdotool("search", "--onlyvisible", "--name", r"^Select App\.\.$", check=False),
                 what="the chooser to close")
        v.click(EXIT)
        self.assertEqual(v.process.wait(timeout=30), 0)
        written = [os.path.join(folder, name) for folder, folders, files in os.walk(home) for name in folders + files]
        self.assertEqual(written, [])

    def test_a_platform_qt_cannot_start_is_one_line(self):
        result = subprocess.run([ARGS.vextra], env=dict(os.environ, QT_QPA_PLATFORM="no-such-platform"),
                                capture_output=True, text=True, timeout=30)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
        self.assertRegex(result.stderr, r"^vextra: cannot show the window: .*\(QT_QPA_PLATFORM=no-such-platform\)\n$")

    def test_without_a_display_one_line_and_a_hint_that_works_there(self):
        folder = os.path.dirname(ARGS.vextra)
        runtime = tempfile.mkdtemp(prefix="vextra-runtime-", dir=os.getcwd())
        self.addCleanup(shutil.rmtree, runtime, True)
        base = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        base["XDG_RUNTIME_DIR"] = runtime
        cases = (("no display", {}), ("a stale WAYLAND_DISPLAY", {"WAYLAND_DISPLAY": "wayland-gone"}),
                 ("xcb asked for", {"QT_QPA_PLATFORM": "xcb"}),
                 ("wayland asked for", {"QT_QPA_PLATFORM": "wayland", "WAYLAND_DISPLAY": "wayland-gone"}))
        for name, env in cases:
            with self.subTest(name):
                env = dict(base, **env)
                result = subprocess.run(["./vextra"], cwd=folder, env=env, capture_output=True, text=True, timeout=30)
                self.assertEqual(result.returncode, 1, result.stderr)
                lines = result.stderr.splitlines()
                self.assertEqual(len(lines), 1, result.stderr)
                self.assertTrue(lines[0].startswith("vextra: no display to show the window on: "), lines[0])
                hint = lines[0].split("start it as: ")[1]
                # The hint, said here, opens the window: it is still up after a while, and says nothing.
                shown = subprocess.Popen(["sh", "-c", hint], cwd=folder, env=env, stdout=subprocess.DEVNULL,
                                         stderr=subprocess.PIPE, text=True, start_new_session=True)
                try:
                    self.assertRaises(subprocess.TimeoutExpired, shown.wait, 4)
                finally:
                    os.killpg(shown.pid, signal.SIGTERM)
                    _, errors = shown.communicate(timeout=30)
                self.assertNotIn("vextra:", errors)


def parse_arguments():
    """The options every script that drives the Linux program takes, kept for Vextra; the
    arguments left for unittest."""
    global ARGS
    parser = argparse.ArgumentParser()
    for option in ("--vextra", "--xdnd-drop", "--template-tool", "--assets", "--pe-fixtures"):
        parser.add_argument(option, required=True)
    ARGS, rest = parser.parse_known_args()
    return rest


def main():
    return run_in_xvfb(parse_arguments())


if __name__ == "__main__":
    sys.exit(main())
