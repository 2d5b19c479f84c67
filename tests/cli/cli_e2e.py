#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""vextra-cli end to end on real folders: status, enable and disable over a hundred programs at once
with a non-executable and a missing path among them, answers typed on its input, what goes to which
stream, the exit statuses, the template it takes and the one it never takes, names that would forge
a line or command the terminal, an output that takes no more, and the files checked from Linux
(content, mode bits, user.DOSATTRIB, times).

The Windows build runs the same script with vextra-cli.exe under Wine (--launcher gives the words
that start it); paths are then passed as Windows paths, Z:\\... or relative ones.

usage: cli_e2e.py --cli PROGRAM --template-tool TOOL --pe-fixtures DIR --version VERSION [--launcher WORD]...
"""
import argparse
import errno
import os
import shutil
import stat
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from xsession import dos_attrib  # noqa: E402

ARGS = None
A_YEAR = 365 * 24 * 3600
NOT_EXECUTABLE = " is not a Windows executeable File."
PROGRAM = b"MZ\x90\x00 not really a program"


def on_windows():
    return bool(ARGS.launcher)


def printed(argument):
    """How vextra-cli prints a path that holds no control character: each backslash doubled."""
    return argument.replace("\\", "\\\\")


def as_argument(path):
    """How a path is passed to the program: as it is on Linux; under Wine the absolute ones on the
    drive Z: that Wine maps to /, the relative ones with backslashes."""
    if not on_windows():
        return path
    return ("Z:" if os.path.isabs(path) else "") + path.replace("/", "\\")


def set_back_a_year(path):
    then = time.time() - A_YEAR
    os.utime(path, (then, then))


def renewed(path):
    return os.stat(path).st_mtime > time.time() - 3600


def read(path):
    with open(path, "rb") as f:
        return f.read()


class Run:
    def __init__(self, result):
        self.status = result.returncode
        # Strictly UTF-8, whichever system wrote it; a Windows program ends its lines with CR LF.
        self.out = result.stdout.decode("utf-8").replace("\r\n", "\n")
        self.err = result.stderr.decode("utf-8").replace("\r\n", "\n")

    def __repr__(self):
        return "status %d\nstdout:\n%s\nstderr:\n%s" % (self.status, self.out, self.err)


def cli(*args, program=None, cwd=None, answers=None):
    """Runs vextra-cli (or a copy of it at `program`) to its end, `answers` on its input."""
    result = subprocess.run([*ARGS.launcher, program or ARGS.cli, *args], cwd=cwd, capture_output=True,
                            input=(answers or "").encode(), timeout=300)
    return Run(result)


def run_with_output(command, stdout):
    """Runs `command` with its standard output on the file descriptor `stdout`, or closed when it
    is None; returns its exit status and what it wrote on standard error. Wine's test runner keeps
    a program's output in a file of its own (to retry a start that failed), so here Wine starts the
    program directly, and a start that failed is tried once more the same way."""
    launcher = [word for word in ARGS.launcher if os.path.basename(word) != "wine-run"]
    for _ in range(2):
        result = subprocess.run([*launcher, *command], stdin=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                stdout=stdout if stdout is not None else subprocess.DEVNULL,
                                preexec_fn=(lambda: os.close(1)) if stdout is None else None, timeout=300)
        err = result.stderr.decode("utf-8").replace("\r\n", "\n")
        if "Application could not be started" not in err:
            break
    return result.returncode, err


def manifest_named(name):
    """A manifest told from others by its description."""
    return ('<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0"><description>%s</description>'
            '</assembly>' % name)


def encode_template(folder, text):
    """A template in `folder` whose manifest text is `text`."""
    source = os.path.join(folder, "manifest.xml")
    with open(source, "w") as f:
        f.write(text)
    output = os.path.join(folder, "style.dll")
    subprocess.run([ARGS.template_tool, "encode", source, "-o", output], check=True)
    os.remove(source)


class CliCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="cli-", dir=os.getcwd())
        self.addCleanup(self.remove_dir)
        # The template the build made beside the program, decoded as the program reads it.
        beside = os.path.join(os.path.dirname(ARGS.cli), "style.dll")
        decoded = subprocess.run([ARGS.template_tool, "decode", beside], capture_output=True, check=True)
        self.manifest_text = decoded.stdout

    def remove_dir(self):
        for root, dirs, _ in os.walk(self.dir):
            for name in dirs:
                os.chmod(os.path.join(root, name), 0o755)
        shutil.rmtree(self.dir)

    def folder(self, name):
        path = os.path.join(self.dir, name)
        os.makedirs(path)
        return path

    def program(self, folder, name, content=PROGRAM):
        path = os.path.join(folder, name)
        with open(path, "wb") as f:
            f.write(content)
        return path

    def assert_enabled(self, program):
        manifest = program + ".manifest"
        self.assertEqual(read(manifest), self.manifest_text, manifest)
        self.assertEqual(os.stat(manifest).st_mode & 0o222, 0, "read-only: no write bits")
        self.assertEqual(dos_attrib(manifest), b"0x6", "hidden and system")


class Batch(CliCase):
    def test_a_hundred_programs_with_a_text_file_and_a_missing_path_among_them(self):
        apps = self.folder("apps")
        names = ["program-%03d.exe" % i for i in range(99)] + ["prögram-日本.EXE"]
        programs = [self.program(apps, name) for name in names]
        readme = self.program(apps, "readme.txt", b"text")
        missing = os.path.join(apps, "gone.exe")
        # Absolute and relative paths alike, the intruders in the middle.
        paths = [p if i % 2 else os.path.relpath(p, self.dir) for i, p in enumerate(programs)]
        arguments = [as_argument(p) for p in paths[:37] + [readme] + paths[37:71] + [missing] + paths[71:]]
        shown = [printed(as_argument(p)) for p in paths]
        refusals = ("vextra-cli: %s: readme.txt%s\n" % (printed(as_argument(readme)), NOT_EXECUTABLE),
                    "vextra-cli: %s: " % printed(as_argument(missing)))

        def check_streams(run, status):
            self.assertEqual(run.status, 1, run)
            self.assertEqual(run.out, "".join("%s: %s\n" % (p, status) for p in shown), run)
            lines = run.err.splitlines(keepends=True)
            self.assertEqual(len(lines), 2, run)
            self.assertEqual(lines[0], refusals[0])
            self.assertTrue(lines[1].startswith(refusals[1]) and len(lines[1]) > len(refusals[1]) + 1, run)

        check_streams(cli("status", *arguments, cwd=self.dir), "No")

        for program in programs:
            set_back_a_year(program)
        # The template beside the program, from another working directory than its own.
        check_streams(cli("enable", "--yes", *arguments, cwd=self.dir), "Yes")
        for program in programs:
            self.assert_enabled(program)
            self.assertTrue(renewed(program), program)
            self.assertEqual(read(program), PROGRAM, "the program itself is not changed")
        self.assertFalse(os.path.lexists(readme + ".manifest") or os.path.lexists(missing + ".manifest"))

        # Status only looks: a manifest made plain again stays plain, its inode untouched.
        plain_again = programs[0] + ".manifest"
        os.chmod(plain_again, 0o644)
        os.removexattr(plain_again, "user.DOSATTRIB")
        before = os.lstat(plain_again)
        check_streams(cli("status", *arguments, cwd=self.dir), "Yes")
        after = os.lstat(plain_again)
        self.assertEqual((after.st_mode, after.st_ctime_ns), (before.st_mode, before.st_ctime_ns))
        self.assertIsNone(dos_attrib(plain_again))
        os.chmod(plain_again, 0o444)

        for program in programs:
            set_back_a_year(program)
        check_streams(cli("disable", "--yes", *arguments, cwd=self.dir), "No")
        for program in programs:
            self.assertTrue(renewed(program), program)
        # Nothing is left behind: no manifest, no temporary.
        self.assertEqual(sorted(os.listdir(apps)), sorted(names + ["readme.txt"]))

    def test_wildcards_expand_where_no_shell_expands_them(self):
        """A Windows shell leaves `*.exe` to the program, which expands it; on Linux the shell has
        done so before, and a `*` that reaches the program is part of a name."""
        apps = self.folder("apps")
        for name in ("b.exe", "a.exe"):
            self.program(apps, name)
        if on_windows():
            run = cli("status", as_argument("apps/*.exe"), as_argument("apps/none*.exe"), cwd=self.dir)
            self.assertEqual(run.out, "apps\\\\a.exe: No\napps\\\\b.exe: No\n", run)
            self.assertTrue(run.err.startswith("vextra-cli: apps\\\\none*.exe: "), run)
        else:
            self.program(apps, "*.exe")
            run = cli("status", "apps/*.exe", cwd=self.dir)
            self.assertEqual(run.out, "apps/*.exe: No\n", run)
        self.assertEqual(run.status, 1 if on_windows() else 0, run)

    def test_programs_that_carry_their_own_manifest(self):
        apps = self.folder("apps")
        fixtures = os.path.join(ARGS.pe_fixtures, "x86_64")
        programs = [self.program(apps, name, read(os.path.join(fixtures, name)))
                    for name in ("visual-styles.exe", "trust-info.exe", "plain.exe")]
        arguments = [as_argument(p) for p in programs]
        shown = tuple(printed(a) for a in arguments)
        run = cli("status", *arguments)
        self.assertEqual((run.status, run.err), (0, ""), run)
        self.assertEqual(run.out, "%s: own manifest\n%s: own manifest\n%s: No\n" % shown)

        run = cli("enable", "--yes", *arguments)
        self.assertEqual(run.status, 1, run)
        self.assertEqual(run.out, "%s: own manifest\n%s: own manifest\n%s: Yes\n" % shown)
        self.assertEqual(run.err.splitlines(), [
            "vextra-cli: %s: visual-styles.exe already asks for visual styles in its own manifest."
            % shown[0],
            "vextra-cli: %s: trust-info.exe carries its own manifest, which Windows reads instead of "
            "trust-info.exe.manifest, so visual styles cannot be enabled this way." % shown[1]])
        self.assertFalse(any(os.path.lexists(p + ".manifest") for p in programs[:2]))
        self.assert_enabled(programs[2])


class Questions(CliCase):
    def test_answers_typed_on_the_input(self):
        apps = self.folder("apps")
        programs = [self.program(apps, name) for name in ("one.exe", "two.exe", "three.exe")]
        arguments = [as_argument(p) for p in programs]

        def question(argument, verb):
            name = argument.replace("\\", "/").rsplit("/", 1)[-1]
            return "%s: Do you want to %s visual style for %s? [y/N] " % (printed(argument), verb, name)

        # Yes, No, and the end of the input, which is No.
        run = cli("enable", *arguments, answers="y\nn\n")
        self.assertEqual(run.status, 1, run)
        self.assertEqual(run.out, "%s: Yes\n%s: No\n%s: No\n" % tuple(printed(a) for a in arguments))
        self.assertEqual(run.err, "".join(question(a, "Enable") for a in arguments) + "\n")
        self.assert_enabled(programs[0])
        self.assertFalse(any(os.path.lexists(p + ".manifest") for p in programs[1:]))

        run = cli("disable", arguments[0], answers="no\n")
        self.assertEqual((run.status, run.out), (1, printed(arguments[0]) + ": Yes\n"), run)
        self.assertEqual(run.err, question(arguments[0], "Disable"))
        self.assert_enabled(programs[0])

        run = cli("disable", arguments[0], answers="YES\n")
        self.assertEqual((run.status, run.out), (0, printed(arguments[0]) + ": No\n"), run)
        self.assertFalse(os.path.lexists(programs[0] + ".manifest"))


class Arguments(CliCase):
    def test_usage_errors_help_and_version(self):
        program = as_argument(self.program(self.folder("apps"), "app.exe"))
        for args in ([], ["frobnicate", program], ["status"], ["enable", "--yes"],
                     ["enable", "--bogus", program], ["enable", program, "--template"]):
            run = cli(*args, answers="y\n")
            self.assertEqual((run.status, run.out), (2, ""), run)
            self.assertTrue(run.err.startswith("vextra-cli: ") and "\nusage: vextra-cli " in run.err, run)
        self.assertEqual(os.listdir(os.path.join(self.dir, "apps")), ["app.exe"])

        run = cli("--help")
        self.assertEqual((run.status, run.err), (0, ""), run)
        self.assertTrue(run.out.startswith("usage: vextra-cli status [-z] PATH...\n"), run)
        run = cli("--version")
        self.assertEqual((run.status, run.out, run.err), (0, "vextra-cli %s\n" % ARGS.version, ""), run)

    def test_the_template_tool_help_and_version(self):
        def tool(*args):
            return Run(subprocess.run([ARGS.template_tool, *args], cwd=self.dir, capture_output=True, timeout=60))
        run = tool("--help")
        self.assertEqual((run.status, run.err), (0, ""), run)
        self.assertTrue(run.out.startswith("usage: vextra-template encode"), run)
        run = tool("--version")
        self.assertEqual((run.status, run.out, run.err), (0, "vextra-template %s\n" % ARGS.version, ""), run)
        manifest = os.path.join(self.dir, "manifest.xml")
        with open(manifest, "w") as f:
            f.write(manifest_named("options anywhere"))
        for args, why in ((["--frobnicate"], "unknown option --frobnicate"),
                          ([], "no command given"),
                          (["frobnicate"], "unknown command frobnicate"),
                          (["encode", manifest], "encode needs -o FILE, the template to write"),
                          (["encode", "-o"], "-o needs a FILE"),
                          (["encode", "-o", "out.dll"], "encode takes one MANIFEST.xml"),
                          (["decode", "a.dll", "b.dll"], "decode takes at most one template"),
                          (["decode", "-o", "out.dll"], "decode prints the text and writes no file: -o is encode's")):
            run = tool(*args)
            self.assertEqual((run.status, run.out), (2, ""), run)
            self.assertTrue(run.err.startswith("vextra-template: %s\nusage: vextra-template encode" % why), run)
        self.assertFalse(os.path.lexists(os.path.join(self.dir, "out.dll")))

        # Options anywhere among the names, in the short and both long forms, make one template.
        made = []
        for index, args in enumerate((["encode", manifest, "-o", "{}"], ["encode", "-o", "{}", manifest],
                                      ["--output={}", "encode", manifest], ["encode", "--output", "{}", manifest])):
            output = os.path.join(self.dir, "style%d.dll" % index)
            run = tool(*(argument.format(output) for argument in args))
            self.assertEqual((run.status, run.out, run.err), (0, "", ""), run)
            with open(output, "rb") as f:
                made.append(f.read())
        self.assertEqual(len(set(made)), 1)
        decoded = tool("decode", "--", output)
        self.assertEqual((decoded.status, decoded.err), (0, ""), decoded)


class Template(CliCase):
    def test_named_or_installed_never_the_working_directorys(self):
        """A copy of the program finds the template beside it, else (on Linux) in the data folder of
        its prefix; --template names another. A template in the working directory, where a folder of
        downloaded programs may bring one, is never taken."""
        work = self.folder("work")
        encode_template(work, manifest_named("working-directory") + "\n")
        named = self.folder("named")
        encode_template(named, manifest_named("named") + "\n")
        # As the program finds its own folder: with no link in the way.
        bin_dir = os.path.realpath(self.folder("prefix/bin"))
        copy = os.path.join(bin_dir, os.path.basename(ARGS.cli))
        shutil.copy(ARGS.cli, copy)
        apps = self.folder("apps")

        def written_by(name, *options):
            program = self.program(apps, name)
            run = cli("enable", "--yes", *options, as_argument(program), program=copy, cwd=work)
            self.assertEqual((run.status, run.err), (0, ""), run)
            return read(program + ".manifest")

        if not on_windows():
            data = self.folder("prefix/share/vextra")
            encode_template(data, manifest_named("installed") + "\n")
            self.assertEqual(written_by("b.exe"), (manifest_named("installed") + "\r\n").encode())
        encode_template(bin_dir, manifest_named("beside") + "\n")
        self.assertEqual(written_by("c.exe"), (manifest_named("beside") + "\r\n").encode())
        named_template = as_argument(os.path.join(named, "style.dll"))
        self.assertEqual(written_by("d.exe", "--template", named_template), (manifest_named("named") + "\r\n").encode())
        self.assertEqual(written_by("e.exe", "--template=" + named_template), (manifest_named("named") + "\r\n").encode())

        # Without one, enable says once which files it tried and why, and touches no program, not
        # even one whose manifest is already there; status needs none.
        os.remove(os.path.join(bin_dir, "style.dll"))
        tried = [os.path.join(bin_dir, "style.dll")]
        if not on_windows():
            os.remove(os.path.join(self.dir, "prefix/share/vextra/style.dll"))
            tried.append(os.path.join(bin_dir, "../share/vextra/style.dll"))
        program = as_argument(self.program(apps, "f.exe"))
        enabled = self.program(apps, "g.exe")
        with open(enabled + ".manifest", "w") as f:
            f.write("<assembly/>")
        run = cli("enable", program, as_argument(enabled), program=copy, cwd=work, answers="y\ny\n")
        self.assertEqual((run.status, run.out), (2, ""), run)
        lines = run.err.splitlines()
        self.assertEqual(len(lines), len(tried), run)
        for line, path in zip(lines, tried):
            self.assertTrue(line.startswith("vextra-cli: template %s: " % printed(as_argument(path))), run)
            self.assertGreater(len(line), len("vextra-cli: template %s: " % printed(as_argument(path))), run)
        self.assertFalse(os.path.lexists(os.path.join(apps, "f.exe.manifest")))
        self.assertEqual(read(enabled + ".manifest"), b"<assembly/>")
        run = cli("status", program, program=copy, cwd=work)
        self.assertEqual((run.status, run.out, run.err), (0, printed(program) + ": No\n", ""), run)

    def test_a_template_that_is_no_use_is_named_with_the_reason(self):
        templates = self.folder("templates")
        not_rtf = os.path.join(templates, "text.dll")
        with open(not_rtf, "w") as f:
            f.write("<assembly/>\n")
        too_large = os.path.join(templates, "large.dll")
        with open(too_large, "wb") as f:
            f.truncate(16 * 1024 * 1024 + 1)
        program = as_argument(self.program(self.folder("apps"), "app.exe"))
        for template, reason in ((not_rtf, "not an RTF document"), (too_large, "a template is at most 16 MiB"),
                                 (templates, None)):
            run = cli("enable", "--yes", "--template", as_argument(template), program)
            self.assertEqual((run.status, run.out), (2, ""), run)
            said = "vextra-cli: template %s: " % printed(as_argument(template))
            self.assertTrue(run.err.startswith(said) and run.err.count("\n") == 1, run)
            if reason:
                self.assertIn(reason, run.err)
        self.assertFalse(os.path.lexists(os.path.join(self.dir, "apps", "app.exe.manifest")))


class Names(CliCase):
    def test_each_line_names_one_program(self):
        """A name that holds a line end would forge a status line, and one that holds an escape
        sequence would command the terminal: both are shown escaped, in lines, questions and
        warnings alike. With -z a script gets each path's own bytes, ended by a NUL."""
        apps = self.folder("apps")
        # U+009B starts a terminal command too, and Windows allows it in a name.
        names = ["csi\u009b2J.exe"]
        if not on_windows():
            names += ["a.exe: Yes\nb.exe", "\x1b]0;title\x07\x1b[2J.exe", "tab\tcr\r.exe"]
        programs = [self.program(apps, name) for name in names]
        arguments = [as_argument(p) for p in programs]
        escaped = {"\n": "\\n", "\t": "\\t", "\r": "\\r", "\x1b": "\\e", "\x07": "\\x07",
                   "\u009b": "\\xC2\\x9B"}

        def shown(text):
            text = printed(text)
            for raw, escape in escaped.items():
                text = text.replace(raw, escape)
            return text

        missing = as_argument(os.path.join(apps, "gone\u009b.exe"))
        run = cli("status", *arguments, missing)
        self.assertEqual(run.status, 1, run)
        self.assertEqual(run.out, "".join("%s: No\n" % shown(a) for a in arguments), run)
        self.assertTrue(run.err.startswith("vextra-cli: %s: " % shown(missing)), run)
        self.assertEqual(run.err.count("\n"), 1, run)

        run = cli("enable", arguments[-1], answers="n\n")
        name = os.path.basename(programs[-1])
        self.assertEqual(run.err, "%s: Do you want to Enable visual style for %s? [y/N] "
                         % (shown(arguments[-1]), shown(name)), run)

        result = subprocess.run([*ARGS.launcher, ARGS.cli, "status", "-z", *arguments], capture_output=True,
                                timeout=300)
        self.assertEqual(result.returncode, 0, result)
        self.assertEqual(result.stdout, b"".join(a.encode() + b": No\0" for a in arguments))


class Output(CliCase):
    """What vextra-cli prints is checked: a full disk, a closed output or a reader that has gone away
    is an error (exit status 3), and the batch stops after the program in hand."""

    def setUp(self):
        super().setUp()
        self.apps = self.folder("apps")
        self.programs = [self.program(self.apps, name) for name in ("one.exe", "two.exe", "three.exe")]
        self.arguments = [as_argument(p) for p in self.programs]

    def write_error(self, err):
        self.assertTrue(err.startswith("vextra-cli: write error: "), err)
        self.assertEqual(err.count("\n"), 1, err)
        self.assertGreater(len(err.strip()), len("vextra-cli: write error:"), err)

    def test_a_full_disk_or_a_closed_output(self):
        with open("/dev/full", "wb") as full:
            for args in (["--help"], ["--version"], ["status", *self.arguments]):
                status, err = run_with_output([ARGS.cli, *args], full.fileno())
                self.assertEqual(status, 3, (args, err))
                self.write_error(err)
        status, err = run_with_output([ARGS.cli, "status", *self.arguments], None)
        self.assertEqual(status, 3, err)
        self.write_error(err)

    def test_the_program_in_hand_is_finished_then_the_batch_stops(self):
        for program in self.programs:
            set_back_a_year(program)
        with open("/dev/full", "wb") as full:
            status, err = run_with_output([ARGS.cli, "enable", "--yes", *self.arguments], full.fileno())
        self.assertEqual(status, 3, err)
        self.write_error(err)
        self.assert_enabled(self.programs[0])
        self.assertTrue(renewed(self.programs[0]))
        for program in self.programs[1:]:
            self.assertFalse(os.path.lexists(program + ".manifest"))
            self.assertFalse(renewed(program))

    def test_a_reader_that_has_gone_away(self):
        """`vextra-cli disable --yes *.exe | head -1`, with head gone before the first line: the
        first program is finished, no words are said, and the exit status tells."""
        for program in self.programs:
            with open(program + ".manifest", "w") as f:
                f.write("<assembly/>")
        reader, writer = os.pipe()
        os.close(reader)
        try:
            status, err = run_with_output([ARGS.cli, "disable", "--yes", *self.arguments], writer)
        finally:
            os.close(writer)
        self.assertEqual((status, err), (3, ""))
        self.assertFalse(os.path.lexists(self.programs[0] + ".manifest"))
        self.assertTrue(all(os.path.lexists(p + ".manifest") for p in self.programs[1:]))


class OrdinaryUser(CliCase):
    @unittest.skipIf(os.geteuid() == 0, "root's rights refuse nothing; the run as ordinary user checks this")
    def test_a_template_the_user_may_not_read(self):
        locked = os.path.join(self.folder("templates"), "style.dll")
        shutil.copy(os.path.join(os.path.dirname(ARGS.cli), "style.dll"), locked)
        os.chmod(locked, 0)
        program = as_argument(self.program(self.folder("apps"), "app.exe"))
        run = cli("enable", "--yes", "--template", as_argument(locked), program)
        self.assertEqual((run.status, run.out), (2, ""), run)
        said = "vextra-cli: template %s: " % printed(as_argument(locked))
        self.assertTrue(run.err.startswith(said) and run.err.count("\n") == 1, run)
        if not on_windows():
            self.assertEqual(run.err, said + os.strerror(errno.EACCES) + "\n")

    @unittest.skipIf(os.geteuid() == 0, "root's rights refuse nothing; the run as ordinary user checks this")
    def test_a_folder_the_user_may_not_write_fails_alone(self):
        locked = self.folder("locked")
        refused = self.program(locked, "old.exe")
        os.chmod(locked, 0o555)
        allowed = self.program(self.folder("open"), "new.exe")
        arguments = [as_argument(refused), as_argument(allowed)]
        run = cli("enable", "--yes", *arguments)
        self.assertEqual(run.status, 1, run)
        self.assertEqual(run.out, "%s: No\n%s: Yes\n" % tuple(printed(a) for a in arguments))
        failed = "vextra-cli: %s: Could not enable visual style for old.exe: " % printed(arguments[0])
        self.assertTrue(run.err.startswith(failed), run)
        self.assertEqual(run.err.count("\n"), 1, run)
        self.assertEqual(os.listdir(locked), ["old.exe"])
        self.assert_enabled(allowed)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for option in ("--cli", "--template-tool", "--pe-fixtures", "--version"):
        parser.add_argument(option, required=True)
    parser.add_argument("--launcher", action="append", default=[])
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], "-v", *rest])


if __name__ == "__main__":
    main()
