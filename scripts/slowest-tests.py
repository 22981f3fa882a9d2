#!/usr/bin/env python3
"""Prints a ctest run's slowest tests with the share of its time-out each took.

    slowest-tests.py JUNIT_XML TESTS_JSON [COUNT]

JUNIT_XML is what `ctest --output-junit` wrote, TESTS_JSON what
`ctest --show-only=json-v1` prints. A test over a third of its time-out is
marked: a machine at a third of this one's speed would fail it.
"""
import json
import sys
import xml.etree.ElementTree as ElementTree


def timeouts(path):
    with open(path, encoding="utf-8") as file:
        tests = json.load(file).get("tests", [])
    found = {}
    for test in tests:
        for prop in test.get("properties", []):
            if prop.get("name") == "TIMEOUT":
                found[test["name"]] = float(prop["value"])
    return found


def main(argv):
    if len(argv) not in (3, 4) or "--help" in argv:
        print("usage: slowest-tests.py JUNIT_XML TESTS_JSON [COUNT]", file=sys.stderr)
        return 0 if "--help" in argv else 2
    count = int(argv[3]) if len(argv) == 4 else 10
    limits = timeouts(argv[2])
    runs = [(float(case.get("time", 0)), case.get("name", "?"))
            for case in ElementTree.parse(argv[1]).getroot().iter("testcase")]
    runs.sort(reverse=True)
    print(f"The {min(count, len(runs))} slowest of {len(runs)} tests "
          f"(seconds, share of the time-out; ! over a third):")
    for seconds, name in runs[:count]:
        limit = limits.get(name)
        share = f"{100 * seconds / limit:3.0f}% of {limit:.0f} s" if limit else "no time-out"
        mark = "!" if limit and seconds > limit / 3 else " "
        print(f"  {mark} {seconds:7.1f} s  {share:>16}  {name}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
