"""The manual page renders cleanly and explains every message the program can stop with."""

import glob
import os
import re
import subprocess
import unittest

from tooltest import SOURCE_DIR, skip_all_unless

MAN_PAGE = os.path.join(SOURCE_DIR, "docs", "tbxrun.1")
# Calls that end the run with a fixed message as their first argument.
MESSAGE_CALL = re.compile(r'\b(?:fatal_error|report_with_\w+|report_without_line)\(\s*"([^"]+)"')


def rendered():
    result = subprocess.run(["groff", "-man", "-Tutf8", "-ww", "-rLL=200n", "-P-cbou", MAN_PAGE],
                            text=True, capture_output=True)
    return result


class ManPageTest(unittest.TestCase):

    def test_renders_without_warnings(self):
        result = rendered()
        self.assertEqual(result.returncode, 0)
        self.assertEqual(result.stderr, "")
        for section in ("NAME", "SYNOPSIS", "THE JOB FILE", "OUTPUT FILES", "EXIT STATUS",
                        "DIAGNOSTICS"):
            self.assertRegex(result.stdout, rf"(?m)^{section}$")

    def test_every_message_of_the_program_is_explained(self):
        text = " ".join(rendered().stdout.split())
        text = text.replace("\u2010", "-").replace("\u2212", "-")  # typographic hyphens
        sources = glob.glob(os.path.join(SOURCE_DIR, "src", "**", "*.cpp"), recursive=True)
        messages = set()
        for path in sources:
            with open(path) as f:
                messages.update(MESSAGE_CALL.findall(f.read()))
        self.assertGreater(len(messages), 20)
        missing = sorted(m for m in messages if " ".join(m.split()) not in text)
        self.assertEqual(missing, [], "messages missing from docs/tbxrun.1")


if __name__ == "__main__":
    skip_all_unless("groff")
    unittest.main()
