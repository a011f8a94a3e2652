"""tbxplot and tbxcollect with the summary files of tbxrun --summary."""

import csv
import os
import shutil
import unittest

from tooltest import EXAMPLES_DIR, TBXRUN, TempDirTest, run, tool


class SummaryToolsTest(TempDirTest):

    def setUp(self):
        super().setUp()
        shutil.copy(os.path.join(EXAMPLES_DIR, "splash_zone.dat"), self.dir)
        run([TBXRUN, "--summary", "splash_zone"], cwd=self.dir)

    def test_the_service_life_is_the_standard_one_unless_asked_for_cornell(self):
        standard = tool("tbxplot", "--no-plot", "splash_zone", cwd=self.dir)
        self.assertEqual(standard.returncode, 0, standard.stderr)
        self.assertIn("from the initiation times; 95 % interval", standard.stdout)
        cornell = tool("tbxplot", "--no-plot", "--cornell", "splash_zone", cwd=self.dir)
        self.assertRegex(cornell.stdout, r"Beta [\d.]+ at \d+ years, [\d.]+ at \d+ years")
        # A summary made for another target: the Cornell crossing, with a note.
        other = tool("tbxplot", "--no-plot", "--target-beta", "2", "splash_zone", cwd=self.dir)
        self.assertEqual(other.returncode, 0)
        self.assertIn("another target index", other.stderr)

    @unittest.skipIf(shutil.which("gnuplot") is None, "gnuplot not found")
    def test_three_figures(self):
        result = tool("tbxplot", "--format", "svg", "splash_zone", cwd=self.dir)
        self.assertEqual(result.returncode, 0, result.stderr)
        for name in ("splash_zone.svg", "splash_zone_initiation.svg", "splash_zone_importance.svg"):
            self.assertGreater(os.path.getsize(self.path(name)), 1000, name)

    def test_collect_takes_the_summary_columns(self):
        result = tool("tbxcollect", "--summary", "splash_zone", cwd=self.dir)
        self.assertEqual(result.returncode, 0, result.stderr)
        table = list(csv.reader(result.stdout.splitlines()))
        with open(self.path("splash_zone_summary.csv"), newline="") as f:
            summary = list(csv.reader(f))
        self.assertEqual(table[0][:4], ["job", "time_years", "failures", "pf_percent"])
        self.assertEqual([row[1:] for row in table[1:]], summary[2:])
        self.assertTrue(all(row[0] == "splash_zone" for row in table[1:]))


if __name__ == "__main__":
    unittest.main()
