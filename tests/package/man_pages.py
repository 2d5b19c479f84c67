#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Each command-line program's man page against its --help, so that neither drifts: the page's
synopsis is the usage --help prints, line for line, and both name the same options.

usage: man_pages.py PROGRAM PAGE [PROGRAM PAGE...]
"""
import re
import subprocess
import sys
import unittest

PAIRS = []
# An option: one or two dashes and a word, not inside a word ("read-only") nor a longer option.
OPTION = re.compile(r"(?<![\w-])--?[a-z]+(?:-[a-z]+)*")


def rendered(page):
    """The page as plain text, lines long and unhyphenated so no option is broken."""
    text = subprocess.run(["groff", "-man", "-Tascii", "-ww", "-rLL=300n", "-rHY=0", "-P-cbou", page],
                          check=True, capture_output=True, text=True).stdout
    return text


def synopsis(text):
    section = re.search(r"^SYNOPSIS\n(.*?)\n\n", text, re.S | re.M).group(1)
    return [" ".join(line.split()) for line in section.splitlines()]


class ManPageMatchesHelp(unittest.TestCase):
    def test_synopsis_and_options(self):
        for program, page in PAIRS:
            with self.subTest(program=program):
                help_text = subprocess.run([program, "--help"], check=True, capture_output=True, text=True).stdout
                usage = help_text.split("\n\n")[0].splitlines()
                usage = [" ".join(line.split()) for line in [usage[0].removeprefix("usage:"), *usage[1:]]]
                man = rendered(page)
                self.assertEqual(synopsis(man), usage)
                self.assertEqual(set(OPTION.findall(man)), set(OPTION.findall(help_text)))


if __name__ == "__main__":
    arguments = sys.argv[1:]
    PAIRS.extend(zip(arguments[0::2], arguments[1::2]))
    unittest.main(argv=sys.argv[:1], verbosity=2)
