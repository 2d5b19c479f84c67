#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The real vextra under valgrind's memcheck in Xvfb, through one whole use: a program dropped on
the window, Enable and Disable each answered Yes, and the exit control. Any memory error, and any
definite leak that the committed suppressions (system libraries' own) do not set aside, fails it.

usage: qt_valgrind.py --vextra PATH --xdnd-drop PATH --suppressions FILE
"""
import argparse
import os
import subprocess
import sys
import unittest

import qt_e2e
from qt_e2e import Vextra
from xsession import DISABLE, ENABLE, EXIT, ProgramRun, start_xvfb, wait_for

ARGS = None
# Memcheck runs the program many times slower than on its own, and a loaded machine slower still.
PATIENCE = 120.0
# The exit status memcheck gives the run when it found an error; the program itself never uses it.
ERRORS_FOUND = 99


class VextraUnderValgrind(Vextra):
    """The Linux program started under memcheck, which writes what it finds to a log in the run's
    folder. Every wait for the window allows for memcheck's pace."""

    def __init__(self, test):
        ProgramRun.__init__(self, test, "vextra-valgrind-",
                            template=os.path.join(os.path.dirname(ARGS.vextra), "style.dll"))
        self.log = os.path.join(self.dir, "memcheck.log")
        # Without a session bus, libdbus forks a child to start one with dbus-launch; where that is not
        # installed the child ends without an exec, and its end is no end of the program's.
        self.process = subprocess.Popen(
            ["valgrind", "--leak-check=full", "--show-leak-kinds=definite",
             "--errors-for-leak-kinds=definite", "--error-exitcode=%d" % ERRORS_FOUND,
             "--suppressions=" + ARGS.suppressions, "--child-silent-after-fork=yes", "--num-callers=40",
             "--log-file=" + self.log, ARGS.vextra],
            cwd=self.dir)
        test.addCleanup(self.close)
        self.window = wait_for(self.titled_windows, timeout=PATIENCE, what="the main window")[0]
        wait_for(lambda: "XdndAware" in subprocess.run(["xprop", "-id", self.window], capture_output=True,
                                                       text=True).stdout, timeout=PATIENCE, what="XdndAware")

    def answer_yes(self):
        # Wait here for the box with memcheck's patience, so the shared helpers find it shown.
        wait_for(self.other_windows, timeout=PATIENCE, what="a message box")
        self.answer(self.message_box(), "y")

    def findings(self):
        with open(self.log, errors="replace") as f:
            return f.read()


class QtWindowUnderValgrind(unittest.TestCase):
    def test_drop_enable_disable_and_exit_without_memory_errors_or_leaks(self):
        v = VextraUnderValgrind(self)
        exe = v.app("old.exe")
        manifest = exe + ".manifest"
        v.drop_files(exe)
        v.click(ENABLE)
        v.answer_yes()
        wait_for(lambda: os.path.exists(manifest), timeout=PATIENCE, what="the manifest to be written")
        v.drop_files(exe)  # now "Yes"
        v.click(DISABLE)
        v.answer_yes()
        wait_for(lambda: not os.path.exists(manifest), timeout=PATIENCE, what="the manifest to be deleted")

        v.click(EXIT)
        status = v.process.wait(timeout=PATIENCE)
        self.assertEqual(status, 0, "memcheck's findings:\n" + v.findings())
        self.assertIn("ERROR SUMMARY: 0 errors", v.findings())


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for option in ("--vextra", "--xdnd-drop", "--suppressions"):
        parser.add_argument(option, required=True)
    ARGS, rest = parser.parse_known_args()
    # The drops go through the end-to-end driver's own helpers, which read its arguments.
    qt_e2e.ARGS = ARGS
    os.environ.pop("QT_QPA_PLATFORM", None)
    os.environ.pop("WAYLAND_DISPLAY", None)
    xvfb = start_xvfb()
    try:
        program = unittest.main(argv=[sys.argv[0], *rest], exit=False, verbosity=2)
        return 0 if program.result.wasSuccessful() else 1
    finally:
        xvfb.terminate()
        xvfb.wait()


if __name__ == "__main__":
    sys.exit(main())
