#!/usr/bin/env python3
"""Measure how many planted faults the unit and fault tests catch.

    python3 tests/plant_faults.py FAULTS.json SOURCE_COPY BUILD_DIR [ID,ID...]

FAULTS.json is a list of {"id", "file", "old", "new", "what"}: in the file
(relative to SOURCE_COPY) the text "old", which must occur exactly once, is
replaced by "new". SOURCE_COPY is a copy of the tree (never the working tree:
a fault is planted in it while the tests run) configured into BUILD_DIR. Each
fault is planted alone, tbx_tests rebuilt and run, and the file restored;
a fault counts as caught when the tests fail or do not build. Prints one line
per fault and a summary. Keep the fault lists out of the repository: a list
the tests were written against no longer measures them.
"""

import json
import os
import subprocess
import sys


def run_tests(build):
    """Whether the tests fail: a build error or a hang counts too."""
    if subprocess.run(["cmake", "--build", build, "--target", "tbx_tests"],
                      capture_output=True).returncode != 0:
        return True
    try:
        return subprocess.run([os.path.join(build, "tests", "tbx_tests"), "--gtest_brief=1"],
                              capture_output=True, cwd=build, timeout=900).returncode != 0
    except subprocess.TimeoutExpired:
        return True


def main():
    faults_file, tree, build = (os.path.abspath(a) for a in sys.argv[1:4])
    only = set(sys.argv[4].split(",")) if len(sys.argv) > 4 else None
    faults = [f for f in json.load(open(faults_file)) if not only or f["id"] in only]
    # Without a clean pass first every fault would count as caught: a copy
    # extracted with old times can leave an object of an earlier fault in
    # place, which make does not rebuild.
    if run_tests(build):
        sys.exit("the tests fail without any fault planted: rebuild the copy from fresh sources")
    caught = 0
    for fault in faults:
        path = os.path.join(tree, fault["file"])
        with open(path) as f:
            text = f.read()
        if text.count(fault["old"]) != 1:
            sys.exit("%s: the text to replace must occur once in %s" % (fault["id"], fault["file"]))
        with open(path, "w") as f:
            f.write(text.replace(fault["old"], fault["new"]))
        try:
            failed = run_tests(build)
        finally:
            with open(path, "w") as f:
                f.write(text)
        caught += failed
        print("%-6s %-8s %s" % (fault["id"], "caught" if failed else "SURVIVED", fault["what"]),
              flush=True)
    print("caught %d of %d" % (caught, len(faults)))


if __name__ == "__main__":
    main()
