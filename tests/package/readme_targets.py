#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Every make target the README names, in a command line or in code, is a rule of the Makefile.

usage: readme_targets.py README MAKEFILE
"""
import re
import sys
import unittest

README, MAKEFILE = sys.argv[1:3]


class ReadmeNamesRealTargets(unittest.TestCase):
    def test_each_named_target_exists(self):
        with open(README, encoding="utf-8") as f:
            named = set(re.findall(r"(?:`|^ {4})make ([a-z][\w-]*)", f.read(), re.M))
        with open(MAKEFILE, encoding="utf-8") as f:
            # A rule's line: its targets, then a colon that is no assignment's.
            rules = {target for line in re.findall(r"^([\w -]+):(?!=)", f.read(), re.M) for target in line.split()}
        self.assertTrue({"run", "test", "package"} <= named, named)
        self.assertEqual(named - rules, set())


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
