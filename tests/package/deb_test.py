#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The Debian packages as Debian would take them and a user gets them: built from debian/ by
packaging/build-deb, checked by lintian, their files, control fields and protections read, the
debug symbols matched to the programs, built again elsewhere to the same bytes, then installed with apt-get, started from the desktop entry
in Xvfb (the window opens and Enable writes the manifest from the installed template) and purged.

usage: deb_test.py --build-deb PATH --version X.Y.Z --xdnd-drop PATH --template-tool PATH
"""
import argparse
import configparser
import glob
import gzip
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from xml.etree import ElementTree

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import qt_e2e  # noqa: E402
from xsession import ENABLE, run_in_xvfb, wait_for  # noqa: E402

ARGS = None
APP_ID = "example.korvane.Vextra"
PROGRAMS = ("vextra", "vextra-cli", "vextra-template")
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)
DESKTOP_ENTRY = "/usr/share/applications/%s.desktop" % APP_ID
FILES = {
    "/usr/share/vextra/style.dll",
    DESKTOP_ENTRY,
    "/usr/share/metainfo/%s.metainfo.xml" % APP_ID,
    "/usr/share/icons/hicolor/scalable/apps/%s.svg" % APP_ID,
    "/usr/share/doc/vextra/copyright", "/usr/share/doc/vextra/changelog.gz",
    "/usr/share/lintian/overrides/vextra",
} | {"/usr/bin/" + program for program in PROGRAMS} \
  | {"/usr/share/man/man1/%s.1.gz" % program for program in PROGRAMS} \
  | {"/usr/share/icons/hicolor/%dx%d/apps/%s.png" % (n, n, APP_ID) for n in ICON_SIZES}
APT = ("apt-get", "-y", "-o", "DPkg::Lock::Timeout=300")


def run(*command, **options):
    return subprocess.run(command, check=True, capture_output=True, text=True, **options).stdout


def contents(deb):
    return {line.split()[-1].lstrip(".") for line in run("dpkg-deb", "--contents", deb).splitlines()
            if not line.startswith("d")}


def build_id(path):
    return re.search(r"Build ID: ([0-9a-f]+)", run("readelf", "--notes", path)).group(1)


class DebPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="deb-", dir=os.getcwd())
        # One time stamp for every build here, though a commit may come between them.
        source = os.path.join(os.path.dirname(ARGS.build_deb), "..")
        os.environ.setdefault("SOURCE_DATE_EPOCH", run("git", "-C", source, "log", "-1", "--format=%ct").strip())
        run(ARGS.build_deb, cls.work)
        arch = run("dpkg", "--print-architecture").strip()
        cls.deb, cls.dbgsym, cls.changes = (os.path.join(cls.work, name % (ARGS.version, arch)) for name in
                                            ("vextra_%s_%s.deb", "vextra-dbgsym_%s_%s.deb", "vextra_%s_%s.changes"))
        cls.root = os.path.join(cls.work, "root")
        run("dpkg", "-x", cls.deb, cls.root)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, True)

    def installed(self, path):
        return os.path.join(self.root, path.lstrip("/"))

    def test_lintian_finds_nothing(self):
        # Every tag, down to the pedantic and informational ones, is mended or overridden with a reason.
        report = subprocess.run(["lintian", "--fail-on", "error,warning,info,pedantic", "-EvI", "--pedantic",
                                 self.changes], capture_output=True, text=True)
        tags = [line for line in report.stdout.splitlines() if re.match(r"[EWIPX]: ", line)]
        self.assertEqual((report.returncode, tags), (0, []), report.stdout + report.stderr)

    def test_a_second_build_elsewhere_gives_the_same_bytes(self):
        # Another folder, deeper and of another name; the same SOURCE_DATE_EPOCH (the last commit's).
        elsewhere = os.path.join(self.work, "second", "build")
        run(ARGS.build_deb, elsewhere)
        for package in (self.deb, self.dbgsym):
            again = os.path.join(elsewhere, os.path.basename(package))
            if subprocess.run(["cmp", "--silent", package, again]).returncode != 0:
                report = subprocess.run(["diffoscope", "--no-progress", "--text", "-", package, again],
                                        capture_output=True, text=True).stdout
                self.fail("%s differs between two builds:\n%s" % (os.path.basename(package),
                                                                   "\n".join(report.splitlines()[:60])))

    def test_holds_exactly_the_programs_and_their_files(self):
        self.assertEqual(contents(self.deb), FILES)

    def test_control_fields(self):
        field = lambda name: run("dpkg-deb", "--field", self.deb, name).strip()  # noqa: E731
        self.assertEqual(field("Package"), "vextra")
        self.assertEqual(field("Version"), ARGS.version)  # debian/changelog agrees with the project
        self.assertEqual(field("Section"), "utils")
        depends = {entry.split()[0] for entry in field("Depends").split(", ")}
        # The font of the window, and the libraries dpkg-shlibdeps found the programs linked with.
        self.assertTrue({"fonts-open-sans", "libqt6widgets6", "libexpat1", "libxcb1", "libc6"} <= depends, depends)

    def test_programs_carry_the_hardening_flags(self):
        # The CET check is left out: hardening-check cannot find its marks in these programs.
        for program in PROGRAMS:
            checked = subprocess.run(["hardening-check", "--nocfprotection",
                                      self.installed("/usr/bin/" + program)], capture_output=True, text=True)
            self.assertEqual(checked.returncode, 0, checked.stdout)

    def test_debug_symbols_package_holds_each_programs_debug_information(self):
        expected = set()
        for program in PROGRAMS:
            binary = self.installed("/usr/bin/" + program)
            self.assertNotIn(".debug_info", run("readelf", "--sections", binary), program)
            identity = build_id(binary)
            expected.add("/usr/lib/debug/.build-id/%s/%s.debug" % (identity[:2], identity[2:]))
        self.assertEqual({path for path in contents(self.dbgsym) if path.startswith("/usr/lib/debug/.build-id/")
                          and path.endswith(".debug")}, expected)

    def test_man_pages_render_without_warnings(self):
        for program in PROGRAMS:
            with gzip.open(self.installed("/usr/share/man/man1/%s.1.gz" % program), "rb") as page:
                rendered = subprocess.run(["groff", "-man", "-Tutf8", "-ww"], input=page.read(), capture_output=True)
            self.assertEqual((rendered.returncode, rendered.stderr), (0, b""), program)
            self.assertIn("Korvane Vextra %s" % ARGS.version, rendered.stdout.decode(), program)

    def test_desktop_entry_and_metadata_validate(self):
        run("desktop-file-validate", self.installed(DESKTOP_ENTRY))
        metainfo = self.installed("/usr/share/metainfo/%s.metainfo.xml" % APP_ID)
        run("appstreamcli", "validate", "--no-net", metainfo)
        # The newest release is the changelog's newest entry, of the day the changelog gives.
        changelog = self.installed("/usr/share/doc/vextra/changelog.gz")
        newest = run("dpkg-parsechangelog", "-l", changelog, "-S", "Timestamp").strip()
        day = run("date", "-u", "-d", "@" + newest, "+%Y-%m-%d").strip()
        release = ElementTree.parse(metainfo).find("releases/release")
        self.assertEqual((release.get("version"), release.get("date")), (ARGS.version, day))

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

    def test_apt_installs_it_its_desktop_entry_starts_it_and_purge_removes_every_file(self):
        self.assertEqual(os.geteuid(), 0, "installing the package with apt-get needs root")
        self.assertNotEqual(subprocess.run(["dpkg", "-s", "vextra"], capture_output=True).returncode, 0,
                            "vextra is installed already: remove it first")
        run(*APT, "install", "--no-install-recommends", self.deb)
        self.addCleanup(subprocess.run, [*APT, "purge", "vextra"], capture_output=True)
        entry = configparser.ConfigParser(interpolation=None)
        entry.read(DESKTOP_ENTRY)
        exec_line, folder = entry["Desktop Entry"]["Exec"], entry["Desktop Entry"]["Path"]
        self.assertEqual(folder, "/usr/share/vextra")
        v = qt_e2e.Vextra(self, program=shutil.which(exec_line), start_in=folder)
        # Docks match the window to the entry by the window's class.
        self.assertEqual(entry["Desktop Entry"]["StartupWMClass"], APP_ID)
        self.assertEqual(run("xprop", "-id", v.window, "WM_CLASS").strip(), 'WM_CLASS(STRING) = "vextra", "%s"' % APP_ID)
        exe = v.app("old.exe")
        v.drop_files(exe)
        v.click(ENABLE)
        v.answer(v.message_box(), "Return")  # Yes to the question a template allows
        # The box closes before the program writes, and a manifest is whole once it is there at all.
        wait_for(lambda: os.path.exists(exe + ".manifest"), what="the manifest")
        with open(exe + ".manifest", "rb") as f:
            self.assertEqual(f.read(), v.manifest_text(ARGS.template_tool, os.path.join(folder, "style.dll")))
        v.close()

        run(*APT, "purge", "vextra")
        self.assertIn("not installed", subprocess.run(["dpkg", "-s", "vextra"], capture_output=True, text=True).stderr)
        self.assertEqual([path for path in FILES | {"/usr/share/vextra", "/usr/share/doc/vextra"}
                          if os.path.lexists(path)], [])


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for option in ("--build-deb", "--version", "--xdnd-drop", "--template-tool"):
        parser.add_argument(option, required=True)
    ARGS, rest = parser.parse_known_args()
    qt_e2e.ARGS = ARGS
    return run_in_xvfb(rest)


if __name__ == "__main__":
    sys.exit(main())
