#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""No DLL lying beside a Windows program runs in it.

People start vextra.exe from a download folder, where anything may lie beside it. Each program is
run once through all it does, under Wine's DLL trace, for the names of every DLL its process loads;
then each such name is planted beside the program in turn, as a DLL that leaves a mark when its code
runs, with Wine told to prefer a native DLL of that name to its own, and the same run is made again.
No mark may appear.

Left out are the DLLs Windows always maps from its system folder, whatever the search order: its
known DLLs and what they import from there (Wine loads even those from beside the program when told
to prefer native DLLs; Windows never does), the API sets, and Wine's own drivers.

usage: dll_planting.py --vextra EXE --cli EXE --planted DLL --inspect EXE --xdnd-drop PATH
                       --template-tool PATH --wine LOADER --wine-run PATH
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import wine_e2e  # noqa: E402
from wine_e2e import Vextra, inspect, prepare_wine  # noqa: E402
from xsession import ABOUT, DISABLE, ENABLE, EXIT, run_in_xvfb, wait_for  # noqa: E402

ARGS = None

# Windows' known DLLs (HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs), and the DLLs
# they import, which Windows maps from the same section directory (\KnownDlls).
KNOWN_DLLS = {
    "advapi32", "clbcatq", "combase", "comdlg32", "coml2", "difxapi", "gdi32", "gdiplus", "imagehlp", "imm32",
    "kernel32", "msctf", "msvcrt", "normaliz", "nsi", "ole32", "oleaut32", "psapi", "rpcrt4", "sechost",
    "setupapi", "shcore", "shell32", "shlwapi", "user32", "wldap32", "ws2_32",
}
KNOWN_DLL_IMPORTS = {
    "ntdll", "kernelbase", "win32u", "gdi32full", "msvcp_win", "ucrtbase", "bcryptprimitives", "cfgmgr32",
    "kernel.appcore", "windows.storage", "powrprof", "profapi",
}

LOADED = re.compile(r'^([0-9a-f]+):[0-9a-f]+:trace:loaddll:\w+ Loaded L"([^"]+)"')


def dll_name(path):
    """The file name of a loaded DLL as Windows looks it up (lower case, with its extension: a
    driver such as the spooler's is a .drv), or None for what is not a DLL of Windows: the program
    itself, and Wine's own drivers (winex11.drv and the like)."""
    base = path.replace("\\\\", "\\").rsplit("\\", 1)[-1].lower()
    if not base.endswith((".dll", ".drv")) or base.startswith("wine"):
        return None
    return base


def loaded_by(trace, program):
    """The paths of all modules the process of `program` loaded, from a +pid,+loaddll trace."""
    lines = [LOADED.match(line) for line in trace.splitlines()]
    lines = [m for m in lines if m]
    pids = {m.group(1) for m in lines if m.group(2).lower().endswith("\\" + program)}
    if len(pids) != 1:
        raise AssertionError("the trace shows %d processes of %s" % (len(pids), program))
    return [m.group(2).replace("\\\\", "\\") for m in lines if m.group(1) in pids]


def plantable(paths):
    """The DLLs worth planting: all but the API sets and the ones Windows maps itself."""
    names = {dll_name(p) for p in paths} - {None}
    return sorted(n for n in names if n.rsplit(".", 1)[0] not in KNOWN_DLLS | KNOWN_DLL_IMPORTS
                  and not n.startswith(("api-ms-", "ext-ms-")))


def override(name):
    """Wine's DLL override preferring a native `name`: a .dll goes by its bare name."""
    return "%s=n,b" % (name[:-len(".dll")] if name.endswith(".dll") else name)


def program_folder(test, program, beside):
    """A folder of the run's own holding the program, the template and the `beside` files."""
    folder = tempfile.mkdtemp(prefix="planting-", dir=os.getcwd())
    test.addCleanup(shutil.rmtree, folder, True)
    for path in (program, os.path.join(os.path.dirname(ARGS.vextra), "style.dll"), *beside):
        shutil.copy(path, folder)
    return folder


def wine_env(overrides, trace):
    env = dict(os.environ)
    if overrides:
        env["WINEDLLOVERRIDES"] += ";" + overrides
    if trace:
        env["WINEDEBUG"] = "+pid,+loaddll"
    return env


class WindowRun:
    """vextra.exe through all it does: start, a drop, Enable, Disable, About, a screen reader's
    question, the file chooser and the exit button."""
    program = "vextra.exe"

    def __init__(self, test, beside=(), overrides=None, trace=None):
        self.test, self.overrides, self.trace = test, overrides, trace
        self.folder = program_folder(test, ARGS.vextra, beside)

    def run(self):
        v = Vextra(self.test, folder=self.folder, env=wine_env(self.overrides, self.trace), log=self.trace)
        try:
            exe = v.app("old.exe")
            v.drop(exe)
            wait_for(lambda: v.fields() == ("old.exe", "No"), what="the name and status")
            v.click(ENABLE)
            v.answer(v.message_box(), "y")
            wait_for(lambda: os.path.exists(exe + ".manifest"), what="the manifest")
            v.drop(exe)
            wait_for(lambda: v.fields() == ("old.exe", "Yes"), what="the status Yes")
            v.click(DISABLE)
            v.answer(v.message_box(), "y")
            wait_for(lambda: not os.path.exists(exe + ".manifest"), what="the manifest to go")
            v.click(ABOUT)
            self.test.assertEqual(inspect("accessible"), (0, "answered"), "a screen reader's question")
            v.escape_from_the_chooser()
            v.click(EXIT)
            self.test.assertEqual(v.process.wait(timeout=30), 0)
        finally:
            v.close()


class CommandLineRun:
    """vextra-cli.exe's three commands on a program beside it."""
    program = "vextra-cli.exe"

    def __init__(self, test, beside=(), overrides=None, trace=None):
        self.test, self.overrides, self.trace = test, overrides, trace
        self.folder = program_folder(test, ARGS.cli, beside)

    def run(self):
        with open(os.path.join(self.folder, "old.exe"), "wb") as f:
            f.write(b"MZ")
        env = wine_env(self.overrides, self.trace)
        for command, expected in ((["status"], b"old.exe: No\r\n"), (["enable", "--yes"], b"old.exe: Yes\r\n"),
                                  (["disable", "--yes"], b"old.exe: No\r\n")):
            result = subprocess.run([ARGS.wine, self.program, *command, "old.exe"], cwd=self.folder, env=env,
                                    capture_output=True, timeout=60)
            if self.trace:
                with open(self.trace, "ab") as f:
                    f.write(result.stderr)
            self.test.assertEqual((result.returncode, result.stdout), (0, expected), command)


class NoPlantedDllRuns(unittest.TestCase):
    def check(self, run_class):
        trace = os.path.join(os.getcwd(), run_class.program + ".loaddll.txt")
        if os.path.exists(trace):
            os.remove(trace)
        run_class(self, trace=trace).run()
        with open(trace, encoding="utf-8", errors="replace") as f:
            loaded = loaded_by(f.read(), run_class.program)
        names = plantable(loaded)
        # The common controls the program's own manifest asks for come from the side-by-side store.
        comctl32 = [p.lower() for p in loaded if dll_name(p) == "comctl32.dll"]
        if run_class is WindowRun:
            self.assertTrue(comctl32 and all("\\winsxs\\" in p for p in comctl32), comctl32)
        print("%s loads %d DLLs; planted in turn: %s" % (run_class.program, len({dll_name(p) for p in loaded} - {None}),
                                                        " ".join(names)),
              file=sys.stderr)

        planted_dir = os.path.join(os.getcwd(), "planted-" + run_class.program)
        ran = []
        for name in names:
            shutil.rmtree(planted_dir, True)
            os.mkdir(planted_dir)
            dll = os.path.join(planted_dir, name)
            shutil.copy(ARGS.planted, dll)
            run = run_class(self, beside=[dll], overrides=override(name))
            with self.subTest(name):
                try:
                    run.run()
                finally:
                    # A planted DLL that ran may well have broken the run: the mark says which.
                    if os.path.exists(os.path.join(run.folder, name + ".loaded")):
                        ran.append(name)
                        self.fail("%s beside %s ran" % (name, run_class.program))
        shutil.rmtree(planted_dir, True)
        self.assertEqual(ran, [])

    def test_the_window(self):
        self.check(WindowRun)

    def test_the_command_line(self):
        self.check(CommandLineRun)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for option in ("--vextra", "--cli", "--planted", "--inspect", "--xdnd-drop", "--template-tool", "--wine",
                   "--wine-run"):
        parser.add_argument(option, required=True)
    ARGS, rest = parser.parse_known_args()
    wine_e2e.ARGS = ARGS
    for tool in (ARGS.wine, "wineserver", "Xvfb", "xdotool"):
        if not shutil.which(tool):
            raise SystemExit("%s is missing: run scripts/install-deps" % tool)
    return run_in_xvfb(rest, prepare=prepare_wine, finish=lambda: subprocess.run(["wineserver", "--kill"], timeout=60))


if __name__ == "__main__":
    sys.exit(main())
