#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""vextra-cli stopped from outside: enable --yes and disable --yes over a folder of programs, each
run stopped at a random moment with a random stop signal, and questions waiting for an answer when
the signal comes. After each run every program is either fully done (manifest, attributes and
program time) or untouched, no temporary is left, the status lines name exactly the programs done,
in order, and the exit status says which signal stopped it.

The Windows build runs the same script with vextra-cli.exe under Wine (--launcher gives the words
that start it, without any wrapper: the signal goes to the program's own process). Wine hands a
SIGINT to a console program as Ctrl+C; the program then ends with STATUS_CONTROL_C_EXIT, of which a
Linux parent sees the low byte. Its questions read a Windows pipe, fed by --pipe-input: a read of the
Unix pipe a Linux parent gives is one that Wine cannot cancel.

usage: cli_interruptions.py --cli PROGRAM --template-tool TOOL [--programs N] [--runs N]
                            [--launcher WORD]... [--pipe-input EXE]
"""
import argparse
import fcntl
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from xsession import dos_attrib, plant_manifest  # noqa: E402
from cli_e2e import printed  # noqa: E402

ARGS = None
A_YEAR_AGO_NS = (int(time.time()) - 365 * 24 * 3600) * 10**9
PROGRAM = b"MZ\x90\x00 not really a program"
STOP_SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)
STATUS_CONTROL_C_EXIT = 0xC000013A


def on_windows():
    return bool(ARGS.launcher)


def stop_signals():
    return (signal.SIGINT,) if on_windows() else STOP_SIGNALS


def stopped_status(number):
    """The exit status a Linux parent sees after a stop by signal `number`."""
    return STATUS_CONTROL_C_EXIT & 0xFF if on_windows() else 128 + number


def as_argument(path):
    """A path relative to the run's folder as the program is given it."""
    return path.replace("/", "\\") if on_windows() else path


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def process_named(first_word):
    """The process whose command line starts with `first_word`, or None."""
    for entry in os.listdir("/proc"):
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                if f.read().split(b"\0")[0] == first_word.encode():
                    return int(entry)
        except (OSError, ValueError):
            continue
    return None


def default_stop_signals():
    """In the child: the stop signals as a fresh program gets them. A shell that started this test in
    the background leaves SIGINT ignored, and the program rightly keeps an ignored signal ignored."""
    for number in STOP_SIGNALS:
        signal.signal(number, signal.SIG_DFL)


def wait_for(predicate, timeout, what):
    deadline = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.001)


def read(path):
    with open(path, "rb") as f:
        return f.read()


class Programs:
    """A folder of `count` programs, each set back a year, and the manifest text the template holds."""

    def __init__(self, test, count):
        self.dir = tempfile.mkdtemp(prefix="cli-stop-", dir=os.getcwd())
        test.addCleanup(shutil.rmtree, self.dir, True)
        self.apps = os.path.join(self.dir, "apps")
        os.mkdir(self.apps)
        self.names = ["p%04d.exe" % i for i in range(count)]
        self.paths = [os.path.join(self.apps, name) for name in self.names]
        self.arguments = [as_argument("apps/" + name) for name in self.names]
        self.printed = [printed(a) for a in self.arguments]
        for path in self.paths:
            with open(path, "wb") as f:
                f.write(PROGRAM)
        beside = os.path.join(os.path.dirname(ARGS.cli), "style.dll")
        self.manifest_text = subprocess.run([ARGS.template_tool, "decode", beside], capture_output=True,
                                            check=True).stdout

    def reset(self, enabled):
        """Every program without a manifest, or with one as enable leaves it; every time a year ago."""
        for path in self.paths:
            manifest = path + ".manifest"
            if os.path.lexists(manifest):
                os.remove(manifest)
            if enabled:
                plant_manifest(path, self.manifest_text)
            os.utime(path, ns=(A_YEAR_AGO_NS, A_YEAR_AGO_NS))

    def start(self, *arguments, stdin=subprocess.DEVNULL, prepare=default_stop_signals):
        command = [*ARGS.launcher, ARGS.cli, *arguments]
        if stdin == subprocess.PIPE and ARGS.pipe_input:
            command = [*ARGS.launcher, ARGS.pipe_input,
                       " ".join('"%s"' % word for word in (windows_path(ARGS.cli), *arguments))]
        return subprocess.Popen(command, cwd=self.dir, stdin=stdin, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                preexec_fn=prepare)

    @staticmethod
    def stop(run, number):
        """Sends signal `number` to the program's own process, the one --pipe-input started if any."""
        pid = run.pid
        if ARGS.pipe_input:
            pid = process_named(windows_path(ARGS.cli))
            if pid is None:
                raise AssertionError("no process of %s" % ARGS.cli)
        os.kill(pid, number)

    def first_done(self, command):
        manifest = self.paths[0] + ".manifest"
        return os.path.exists(manifest) if command == "enable" else not os.path.lexists(manifest)


class StopCase(unittest.TestCase):
    def assert_enabled(self, path):
        manifest = path + ".manifest"
        self.assertEqual(read(manifest), self.programs.manifest_text, manifest)
        self.assertEqual(os.stat(manifest).st_mode & 0o222, 0, manifest + ": read-only, no write bits")
        self.assertEqual(dos_attrib(manifest), b"0x6", manifest + ": hidden and system")

    def assert_program_time(self, path, renewed):
        mtime = os.stat(path).st_mtime_ns
        if renewed:
            self.assertGreater(mtime, time.time_ns() - 3600 * 10**9, path + ": time renewed")
        else:
            self.assertEqual(mtime, A_YEAR_AGO_NS, path + ": time untouched")

    def assert_program(self, command, path, done):
        """A program enable or disable has done whole, or not touched."""
        enabled = (command == "enable") == done
        if enabled:
            self.assert_enabled(path)
        else:
            self.assertFalse(os.path.lexists(path + ".manifest"), path)
        self.assert_program_time(path, renewed=done)

    def assert_no_temporary(self):
        self.assertEqual([n for n in os.listdir(self.programs.apps) if n.startswith(".vextra-")], [])

    def status_lines(self, out):
        return out.decode("utf-8").replace("\r\n", "\n").splitlines()


class BatchStopped(StopCase):
    def test_stopped_at_random_moments(self):
        count, runs = ARGS.programs, ARGS.runs
        self.programs = p = Programs(self, count)
        seed = random.randrange(1 << 30)
        chance = random.Random(seed)
        outcome = {"stopped": 0, "finished first": 0}

        # A whole run of each gives the time over which the stops are spread; a run that ends before
        # its stop shortens it, since a busy machine may have made the first one slow.
        durations = {}
        for command in ("enable", "disable"):
            p.reset(enabled=command == "disable")
            started = time.monotonic()
            run = p.start(command, "--yes", *p.arguments)
            out, err = run.communicate(timeout=600)
            durations[command] = time.monotonic() - started
            self.assertEqual((run.returncode, err), (0, b""), out)
            self.assertEqual(len(self.status_lines(out)), count)

        for index in range(runs):
            command = ("enable", "disable")[index % 2]
            number = chance.choice(stop_signals())
            delay = chance.uniform(0, 0.8 * durations[command])
            what = "run %d (seed %d): %s stopped by %s after %.3f s" % (
                index, seed, command, signal.Signals(number).name, delay)
            with self.subTest(what):
                p.reset(enabled=command == "disable")
                started = time.monotonic()
                run = p.start(command, "--yes", *p.arguments)
                # Once the first program is done the program holds its stop requests.
                wait_for(lambda: p.first_done(command) or run.poll() is not None, 60, "the first program")
                time.sleep(delay)
                run.send_signal(number)
                out, err = run.communicate(timeout=120)

                lines = self.status_lines(out)
                done = len(lines)
                word = "Yes" if command == "enable" else "No"
                self.assertEqual(lines, ["%s: %s" % (a, word) for a in p.printed[:done]], what)
                self.assertEqual(err, b"", what)
                # A signal that comes after the last program's look for it takes its usual course.
                if done == count and run.returncode in (0, -number):
                    outcome["finished first"] += 1
                    durations[command] = min(durations[command], time.monotonic() - started)
                else:
                    self.assertEqual(run.returncode, stopped_status(number), what)
                    outcome["stopped"] += 1
                for i, path in enumerate(p.paths):
                    self.assert_program(command, path, done=i < done)
                self.assert_no_temporary()
        print("\n%d runs over %d programs, seed %d: %s" % (runs, count, seed, outcome), file=sys.stderr)
        self.assertGreaterEqual(outcome["stopped"], runs // 2, "most runs are stopped before their end")

    def test_a_signal_ignored_at_the_start_stays_ignored(self):
        """As under nohup: a hang-up changes nothing, the run goes to its end."""
        if on_windows():
            self.skipTest("ignoring a signal from the start is a Linux program's convention")
        self.programs = p = Programs(self, min(ARGS.programs, 200))
        p.reset(enabled=False)

        def ignore_hang_up():
            default_stop_signals()
            signal.signal(signal.SIGHUP, signal.SIG_IGN)
        run = p.start("enable", "--yes", *p.arguments, prepare=ignore_hang_up)
        wait_for(lambda: p.first_done("enable") or run.poll() is not None, 60, "the first program")
        run.send_signal(signal.SIGHUP)
        out, err = run.communicate(timeout=120)
        self.assertEqual((run.returncode, err), (0, b""), out)
        self.assertEqual(self.status_lines(out), ["%s: Yes" % a for a in p.printed])
        for path in p.paths:
            self.assert_program("enable", path, done=True)


class QuestionStopped(StopCase):
    """A signal while a question waits is its answer No, at once; the batch then stops."""

    def test_a_signal_while_the_second_question_waits(self):
        self.programs = p = Programs(self, 3)
        for command in ("enable", "disable"):
            for number in stop_signals():
                with self.subTest(command=command, signal=signal.Signals(number).name):
                    p.reset(enabled=command == "disable")
                    run = p.start(command, *p.arguments, stdin=subprocess.PIPE)
                    # The first is answered Yes; the input then stays open with no more answers.
                    run.stdin.write(b"y\n")
                    run.stdin.flush()
                    err = self.read_until_questions(run, 2)
                    stopped = time.monotonic()
                    p.stop(run, number)
                    # The input stays open (communicate() would close it, an answer of its own).
                    run.wait(timeout=30)
                    self.assertLess(time.monotonic() - stopped, 10, "ended at once")
                    out, rest = run.stdout.read(), run.stderr.read()
                    for stream in (run.stdin, run.stdout, run.stderr):
                        stream.close()
                    text = (err + rest).decode("utf-8").replace("\r\n", "\n")
                    self.assertEqual(run.returncode, stopped_status(number), (out, text))
                    yes, no = ("Yes", "No") if command == "enable" else ("No", "Yes")
                    self.assertEqual(self.status_lines(out), ["%s: %s" % (p.printed[0], yes),
                                                              "%s: %s" % (p.printed[1], no)], text)
                    # No third question; the second's line is ended.
                    self.assertEqual(text.count("? [y/N] "), 2, text)
                    self.assertTrue(text.endswith("? [y/N] \n"), text)
                    self.assert_program(command, p.paths[0], done=True)
                    self.assert_program(command, p.paths[1], done=False)
                    self.assert_program(command, p.paths[2], done=False)
                    self.assert_no_temporary()

    def read_until_questions(self, run, count):
        """What the program wrote on its error stream up to its `count`th question."""
        fcntl.fcntl(run.stderr, fcntl.F_SETFL, os.O_NONBLOCK)
        err = b""
        deadline = time.monotonic() + 60
        while err.count(b"? [y/N] ") < count:
            self.assertLess(time.monotonic(), deadline, err)
            self.assertIsNone(run.poll(), err)
            try:
                err += os.read(run.stderr.fileno(), 4096)
            except BlockingIOError:
                time.sleep(0.01)
        fcntl.fcntl(run.stderr, fcntl.F_SETFL, 0)
        return err


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--template-tool", required=True)
    parser.add_argument("--programs", type=int, default=1000)
    parser.add_argument("--runs", type=int, default=24)
    parser.add_argument("--launcher", action="append", default=[])
    parser.add_argument("--pipe-input")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], "-v", *rest])


if __name__ == "__main__":
    main()
