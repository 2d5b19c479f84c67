#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The real vextra in Xvfb as a screen reader sees it, over AT-SPI: what each control is called and
is, and that pressing a hot spot does what a click does.

Run it inside a private D-Bus session (dbus-run-session), where the AT-SPI bus starts on demand.
Accessibility is switched on there as a screen reader switches it on, before the window starts.

usage: dbus-run-session -- python3 qt_accessibility.py --vextra PATH --xdnd-drop PATH
"""
import argparse
import os
import sys
import time
import unittest

import qt_e2e
from xsession import run_in_xvfb, wait_for

# The hot spots, each a push button named by its tooltip, with the key that does the same.
HOT_SPOTS = {"Drag and Drop your Old App...": "Ctrl+O", "Enable Visual Style...": "Alt+E",
             "Disable Visual Style...": "Alt+D", "About Vextra": "F1", "Exit": ""}

pyatspi = None  # imported once the X server and the D-Bus session are there


def switch_on_accessibility():
    """What a screen reader does when it starts: programs that start later serve AT-SPI."""
    from gi.repository import Gio, GLib
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    bus.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
                  GLib.Variant("(ssv)", ("org.a11y.Status", "IsEnabled", GLib.Variant("b", True))),
                  None, Gio.DBusCallFlags.NONE, 10000, None)
    global pyatspi
    import pyatspi as imported
    pyatspi = imported


def descendants(node):
    for child in node:
        if child is None:
            continue
        yield child
        yield from descendants(child)


class Accessible(qt_e2e.Vextra):
    """The program, and what AT-SPI shows of it."""

    def application(self):
        desktop = pyatspi.Registry.getDesktop(0)
        return wait_for(lambda: next((app for app in desktop if app is not None and
                                      app.get_process_id() == self.process.pid), None),
                        what="the program on the AT-SPI bus")

    def frame(self):
        return wait_for(lambda: next((w for w in self.application() if w.getRoleName() == "frame"), None),
                        what="the window's frame")

    def named(self, role, name):
        return next(node for node in descendants(self.frame()) if node.getRoleName() == role and node.name == name)


class QtAccessibility(unittest.TestCase):
    def setUp(self):
        self.vextra = Accessible(self)

    def test_what_a_screen_reader_is_told(self):
        frame = self.vextra.frame()
        self.assertEqual(frame.name, "Korvane Vextra")
        nodes = list(descendants(frame))
        buttons = [node for node in nodes if node.getRoleName() == "push button"]
        self.assertEqual({button.name for button in buttons}, set(HOT_SPOTS))
        for button in buttons:
            with self.subTest(button.name):
                action = button.queryAction()
                self.assertEqual([action.getName(i) for i in range(action.nActions)], ["Press"])
                self.assertEqual(action.getKeyBinding(0), HOT_SPOTS[button.name])
        seen = {(node.getRoleName(), node.name) for node in nodes}
        for role, name in (("text", "App FileName"), ("text", "Style Enabled"), ("panel", "Korvane Vextra"),
                           ("panel", "About Vextra")):
            self.assertIn((role, name), seen)
        # Every control that takes the focus (the fields, the title strip, the panel) is named.
        focusable = [node for node in nodes if node.getState().contains(pyatspi.STATE_FOCUSABLE)]
        self.assertGreaterEqual(len(focusable), 4)
        self.assertEqual([node.getRoleName() for node in focusable if not node.name], [])

    def test_pressing_enable_asks_about_the_dropped_program(self):
        v = self.vextra
        exe = v.app("old.exe")
        v.drop_files(exe)
        enable = v.named("push button", "Enable Visual Style...")
        started = time.monotonic()
        enable.queryAction().doAction(0)
        # The press is answered at once: a screen reader is not held until the question is answered.
        self.assertLess(time.monotonic() - started, 5)
        box = v.message_box()
        question = wait_for(lambda: next((node.name for window in v.application() for node in descendants(window)
                                          if node.getRoleName() == "label" and node.name.startswith("Do you")), None),
                            what="the question's text")
        self.assertEqual(question, "Do you want to Enable visual style for old.exe")
        v.answer(box, "n")
        self.assertFalse(os.path.exists(exe + ".manifest"))


def main():
    parser = argparse.ArgumentParser()
    for option in ("--vextra", "--xdnd-drop"):
        parser.add_argument(option, required=True)
    qt_e2e.ARGS, rest = parser.parse_known_args()
    if "DBUS_SESSION_BUS_ADDRESS" not in os.environ:
        raise SystemExit("no D-Bus session: run this test through dbus-run-session")
    return run_in_xvfb(rest, prepare=switch_on_accessibility)


if __name__ == "__main__":
    sys.exit(main())
