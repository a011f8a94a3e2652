"""Shared helpers of the tests of the companion scripts, the examples and the installation.

ctest passes the locations through the environment (tests/tools/CMakeLists.txt).
"""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

SOURCE_DIR = os.environ["TBX_SOURCE_DIR"]
BUILD_DIR = os.environ["TBX_BUILD_DIR"]
TBXRUN = os.environ["TBXRUN"]
TOOLS_DIR = os.path.join(SOURCE_DIR, "tools")
EXAMPLES_DIR = os.path.join(SOURCE_DIR, "examples")
SKIPPED = 77  # ctest's SKIP_RETURN_CODE for these tests


def skip_all_unless(*programs):
    """End the test script as skipped when a program it needs is missing."""
    missing = [p for p in programs if shutil.which(p) is None]
    if missing:
        print(f"skipped: {', '.join(missing)} not found")
        sys.exit(SKIPPED)


def tool(name, *args, cwd=None, env=None):
    """Run a script of tools/ with this Python; returns the completed process."""
    return subprocess.run([sys.executable, os.path.join(TOOLS_DIR, name), *args],
                          cwd=cwd, env=env, text=True, capture_output=True)


def run(args, cwd=None, env=None, check=True):
    result = subprocess.run(args, cwd=cwd, env=env, text=True, capture_output=True)
    if check and result.returncode != 0:
        raise AssertionError(f"{args} failed with {result.returncode}:\n{result.stdout}\n"
                             f"{result.stderr}")
    return result


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, text):
    with open(path, "w") as f:
        f.write(text)
    return path


def xls_text(series, profile=()):
    """A spreadsheet file as tbxrun writes it; rows are lists of number texts."""
    lines = [f" {series[-1][0]} "]
    lines += [" " + " ".join(row) + " " for row in series]
    lines.append("")
    lines += [" " + " ".join(row) + " " for row in profile]
    return "\n".join(lines) + "\n"


def beta_series(*points):
    """Series rows from (time, beta) pairs; the other columns hold plain values."""
    return [[str(t), "10.000000", "0.003000", str(b), "9.000000"] for t, b in points]


class TempDirTest(unittest.TestCase):
    """A test with a fresh temporary directory in self.dir."""

    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory(prefix="tbxtools-")
        self.dir = self._tmp.name

    def tearDown(self):
        self._tmp.cleanup()

    def path(self, *parts):
        return os.path.join(self.dir, *parts)
