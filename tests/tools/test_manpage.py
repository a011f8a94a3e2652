"""The manual page renders cleanly and explains every message the program can stop with."""

import glob
import os
import re
import subprocess
import unittest

from tooltest import SOURCE_DIR, skip_all_unless

MAN_PAGE = os.path.join(SOURCE_DIR, "docs", "tbxrun.1")
TOOL_PAGES = {name: os.path.join(SOURCE_DIR, "docs", name + ".1") for name in ("tbxplot", "tbxcollect")}
# Calls that end the run with a fixed message as their first argument, and
# the entries of the table of validation rules, whose message comes first.
MESSAGE_CALL = re.compile(
    r'(?:\b(?:fatal_error|report_with_\w+|report_without_line)\(|\{Scope::\w+,)\s*"([^"]+)"')


def rendered(page=MAN_PAGE):
    result = subprocess.run(["groff", "-man", "-Tutf8", "-ww", "-rLL=200n", "-P-cbou", page],
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

    def test_tool_pages_render_and_list_every_option(self):
        for name, page in TOOL_PAGES.items():
            with self.subTest(name):
                result = rendered(page)
                self.assertEqual(result.returncode, 0)
                self.assertEqual(result.stderr, "")
                for section in ("NAME", "SYNOPSIS", "OPTIONS", "EXIT STATUS", "SEE ALSO"):
                    self.assertRegex(result.stdout, rf"(?m)^{section}$")
                text = " ".join(result.stdout.split()).replace("\u2010", "-").replace("\u2212", "-")
                with open(os.path.join(SOURCE_DIR, "tools", name)) as f:
                    options = set(re.findall(r'add_argument\(\s*"(-[-\w]+)"(?:,\s*"(--[-\w]+)")?', f.read()))
                self.assertTrue(options)
                for option in options:
                    for spelling in filter(None, option):
                        self.assertIn(spelling, text)

    def test_the_study_tool_has_every_command_and_option_explained(self):
        result = rendered(os.path.join(SOURCE_DIR, "docs", "tbxsweep.1"))
        self.assertEqual((result.returncode, result.stderr), (0, ""))
        text = result.stdout.replace("\u2010", "-").replace("\u2212", "-")
        with open(os.path.join(SOURCE_DIR, "tools", "tbxsweep")) as f:
            source = f.read()
        commands = re.findall(r'add_parser\(\s*"(\w+)"', source)
        options = set(re.findall(r'add_argument\(\s*(?:"-\w", )?"(--[\w-]+)"', source))
        self.assertGreater(len(options), 10)
        missing = [c for c in commands if f"tbxsweep {c}" not in text]
        missing += sorted(o for o in options if o not in text)
        self.assertEqual(missing, [], "missing from docs/tbxsweep.1")


if __name__ == "__main__":
    skip_all_unless("groff")
    unittest.main()
