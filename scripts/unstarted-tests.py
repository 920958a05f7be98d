#!/usr/bin/env python3
"""Prints a ctest regular expression matching the failed tests of a JUnit report
whose program never reached the test runner's main (no "[==========] Running"
line in their output): a start-up failure of the process, not a test result.
Prints nothing when there are none."""
import re
import sys
import xml.etree.ElementTree as ET

MARKER = "[==========] Running"


def main(path):
    names = []
    for case in ET.parse(path).getroot().iter("testcase"):
        if case.get("status") != "fail":
            continue
        output = "".join(node.text or "" for node in case.iter("system-out"))
        if MARKER not in output:
            names.append(case.get("name"))
    if names:
        print("^(" + "|".join(re.escape(name) for name in names) + ")$")


if __name__ == "__main__":
    main(sys.argv[1])
