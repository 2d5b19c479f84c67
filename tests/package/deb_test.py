#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The Debian package as a user gets it: made by CPack from the build, its files and control fields
checked, then unpacked into a scratch root and started the way its desktop entry says, in Xvfb: the
window opens and Enable writes the manifest from the installed template.

usage: deb_test.py --cpack PATH --cpack-config PATH --version X.Y.Z --xdnd-drop PATH --template-tool PATH
"""
import argparse
import configparser
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import qt_e2e  # noqa: E402
from xsession import ENABLE, run_in_xvfb  # noqa: E402

ARGS = None
APP_ID = "example.korvane.Vextra"
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)
FILES = {
    "/usr/bin/vextra", "/usr/bin/vextra-cli", "/usr/bin/vextra-template",
    "/usr/share/vextra/style.dll",
    "/usr/share/applications/%s.desktop" % APP_ID,
    "/usr/share/metainfo/%s.metainfo.xml" % APP_ID,
    "/usr/share/icons/hicolor/scalable/apps/%s.svg" % APP_ID,
    "/usr/share/man/man1/vextra.1", "/usr/share/man/man1/vextra-cli.1", "/usr/share/man/man1/vextra-template.1",
    "/usr/share/doc/vextra/LICENSE",
} | {"/usr/share/icons/hicolor/%dx%d/apps/%s.png" % (n, n, APP_ID) for n in ICON_SIZES}


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


class DebPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="deb-", dir=os.getcwd())
        run(ARGS.cpack, "--config", ARGS.cpack_config, "-B", cls.work)
        [cls.deb] = glob.glob(os.path.join(cls.work, "*.deb"))
        cls.root = os.path.join(cls.work, "root")
        run("dpkg", "-x", cls.deb, cls.root)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, True)

    def installed(self, path):
        return os.path.join(self.root, path.lstrip("/"))

    def test_holds_exactly_the_programs_and_their_files(self):
        listing = [line.split()[-1] for line in run("dpkg-deb", "--contents", self.deb).splitlines()
                   if not line.startswith("d")]
        self.assertEqual({path.lstrip(".") for path in listing}, FILES)

    def test_control_fields(self):
        field = lambda name: run("dpkg-deb", "--field", self.deb, name).strip()  # noqa: E731
        self.assertEqual(field("Package"), "vextra")
        self.assertEqual(field("Version"), ARGS.version)
        self.assertEqual(field("Architecture"), run("dpkg", "--print-architecture").strip())
        self.assertEqual(field("Section"), "utils")
        depends = {entry.split()[0] for entry in field("Depends").split(", ")}
        # The font of the window, and the libraries dpkg-shlibdeps found the programs linked with.
        self.assertTrue({"fonts-open-sans", "libqt6widgets6", "libexpat1", "libxcb1", "libc6"} <= depends, depends)

    def test_desktop_entry_and_metadata_validate(self):
        run("desktop-file-validate", self.installed("/usr/share/applications/%s.desktop" % APP_ID))
        run("appstreamcli", "validate", "--no-net", self.installed("/usr/share/metainfo/%s.metainfo.xml" % APP_ID))

    def test_starts_from_its_desktop_entry_and_finds_its_template(self):
        entry = configparser.ConfigParser(interpolation=None)
        entry.read(self.installed("/usr/share/applications/%s.desktop" % APP_ID))
        exec_line, folder = entry["Desktop Entry"]["Exec"], entry["Desktop Entry"]["Path"]
        self.assertEqual(folder, "/usr/share/vextra")
        v = qt_e2e.Vextra(self, program=self.installed("/usr/bin/" + exec_line), start_in=self.installed(folder))
        # Docks match the window to the entry by the window's class.
        self.assertEqual(entry["Desktop Entry"]["StartupWMClass"], APP_ID)
        self.assertEqual(run("xprop", "-id", v.window, "WM_CLASS").strip(), 'WM_CLASS(STRING) = "vextra", "%s"' % APP_ID)
        exe = v.app("old.exe")
        v.drop_files(exe)
        v.click(ENABLE)
        v.answer(v.message_box(), "Return")  # Yes to the question a template allows
        with open(exe + ".manifest", "rb") as f:
            self.assertEqual(f.read(), v.manifest_text(ARGS.template_tool, self.installed(folder + "/style.dll")))

    def test_command_line_finds_the_installed_template_from_any_folder(self):
        work = tempfile.mkdtemp(prefix="cli-", dir=self.work)
        exe = os.path.join(work, "old.exe")
        with open(exe, "wb") as f:
            f.write(b"MZ")
        enabled = subprocess.run([self.installed("/usr/bin/vextra-cli"), "enable", "--yes", "old.exe"], cwd=work,
                                 capture_output=True, text=True)
        self.assertEqual((enabled.returncode, enabled.stdout, enabled.stderr), (0, "old.exe: Yes\n", ""))
        decoded = subprocess.run([ARGS.template_tool, "decode", self.installed("/usr/share/vextra/style.dll")],
                                 capture_output=True, check=True).stdout
        with open(exe + ".manifest", "rb") as f:
            self.assertEqual(f.read(), decoded)

    def test_man_pages_render_without_warnings(self):
        for page in ("vextra", "vextra-cli", "vextra-template"):
            path = self.installed("/usr/share/man/man1/%s.1" % page)
            rendered = subprocess.run(["groff", "-man", "-Tutf8", "-ww", path], capture_output=True, text=True)
            self.assertEqual((rendered.returncode, rendered.stderr), (0, ""), page)
            self.assertIn("Korvane Vextra %s" % ARGS.version, rendered.stdout, page)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for option in ("--cpack", "--cpack-config", "--version", "--xdnd-drop", "--template-tool"):
        parser.add_argument(option, required=True)
    ARGS, rest = parser.parse_known_args()
    qt_e2e.ARGS = ARGS
    return run_in_xvfb(rest)


if __name__ == "__main__":
    sys.exit(main())
