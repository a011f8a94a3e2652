"""tbxplot's service life: the first time at which Beta falls below the target.

Runs tbxplot --no-plot on hand-made spreadsheet files; gnuplot is not needed.
"""

import os
import re
import unittest

from tooltest import TempDirTest, beta_series, tool, write, xls_text


class ServiceLifeTest(TempDirTest):

    def life(self, *points, target=None, name="job"):
        write(self.path(name + "_xls.dat"), xls_text(beta_series(*points)))
        args = ["--no-plot", self.path(name)]
        if target is not None:
            args[:0] = ["--target-beta", str(target)]
        result = tool("tbxplot", *args)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, "")
        return result.stdout.strip()

    def years(self, line):
        match = re.search(r"service life (\d+\.\d) years at target Beta", line)
        self.assertIsNotNone(match, line)
        return float(match.group(1))

    def test_interpolates_linearly_between_the_points_around_the_crossing(self):
        self.assertEqual(self.years(self.life((10, 2.0), (20, 1.0), (30, 0.5))), 17.0)

    def test_the_first_crossing_counts_when_beta_comes_back(self):
        self.assertEqual(self.years(self.life((10, 2.0), (20, 1.0), (30, 2.0), (40, 0.5))),
                         17.0)

    def test_a_beta_equal_to_the_target_is_not_below_it(self):
        self.assertEqual(self.years(self.life((10, 2.0), (20, 1.3), (30, 1.0))), 20.0)

    def test_the_target_is_an_option(self):
        self.assertEqual(self.years(self.life((10, 3.0), (20, 2.0), target=2.5)), 15.0)
        line = self.life((10, 3.0), (20, 2.0), target=3.8)
        self.assertIn("service life at most 10 years", line)
        self.assertIn("below 3.8", line)

    def test_below_the_target_from_the_first_time_point(self):
        line = self.life((1, 0.61), (10, 0.2))
        self.assertEqual(line, "job: service life at most 1 year: Beta is already below 1.3 "
                               "at the first time point (Beta 0.610)")

    def test_a_series_that_never_falls_below_says_so(self):
        line = self.life((1, 4.0), (25, 2.0), (50, 1.31))
        self.assertEqual(line, "job: service life not reached: Beta stays at or above 1.3 "
                               "up to the last time point, 50 years (Beta 1.310)")

    def test_single_time_point(self):
        self.assertIn("service life not reached", self.life((50, 2.19)))
        self.assertIn("service life at most 50 years", self.life((50, 0.4)))

    def test_points_without_a_beta_are_left_out(self):
        # tbxrun writes "nan" or "-nan" where Beta is undefined (one simulation).
        self.assertEqual(self.years(self.life((10, 2.0), (20, "-nan"), (30, 1.0))), 24.0)
        self.assertEqual(self.years(self.life((10, "nan"), (20, 2.0), (30, 1.0))), 27.0)

    def test_no_beta_at_all(self):
        line = self.life((10, "-nan"), (20, "nan"))
        self.assertEqual(line, "job: service life unknown: no time point has a Beta that "
                               "is a number")

    def test_an_infinite_beta_puts_the_crossing_on_its_finite_neighbour(self):
        self.assertEqual(self.years(self.life((10, "inf"), (20, 1.0))), 20.0)
        self.assertEqual(self.years(self.life((10, 2.0), (20, "-inf"))), 10.0)


class ReadErrorTest(TempDirTest):

    def fails(self, text, *expected):
        write(self.path("bad_xls.dat"), text)
        result = tool("tbxplot", "-n", self.path("bad"))
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout, "")
        for e in expected:
            self.assertIn(e, result.stderr)

    def test_empty_file(self):
        self.fails("", "line 1", "expected the last time")

    def test_missing_file(self):
        result = tool("tbxplot", "-n", self.path("absent"))
        self.assertEqual(result.returncode, 1)
        self.assertIn("absent_xls.dat: No such file", result.stderr)

    def test_a_line_with_the_wrong_number_of_columns_is_named(self):
        self.fails(" 20 \n 10 1.0 0.01 2.0 1.0 \n 20 2.0 0.01 1.0 \n\n", "line 3",
                   "expected 5 numbers")

    def test_a_word_that_is_no_number(self):
        self.fails(" 20 \n 10 1.0 0.01 2.0 1.0 \n 20 2.0 0.01 x 1.0 \n\n", "line 3",
                   "not a number")

    def test_a_file_cut_short_is_noticed(self):
        self.fails(" 30 \n 10 1.0 0.01 2.0 1.0 \n 20 2.0 0.01 1.0 1.0 \n",
                   "last time as 30", "is the file complete?")

    def test_one_bad_job_does_not_stop_the_others(self):
        write(self.path("good_xls.dat"), xls_text(beta_series((10, 2.0), (20, 1.0))))
        result = tool("tbxplot", "-n", self.path("absent"), self.path("good"))
        self.assertEqual(result.returncode, 1)
        self.assertTrue(result.stdout.startswith("good: service life 17.0 years"))

    def test_without_gnuplot_the_service_life_is_still_printed(self):
        write(self.path("a_xls.dat"), xls_text(beta_series((10, 2.0), (20, 1.0))))
        env = dict(os.environ, PATH=self.dir)  # no gnuplot on this PATH
        result = tool("tbxplot", self.path("a"), env=env)
        self.assertEqual(result.returncode, 1)
        self.assertTrue(result.stdout.startswith("a: service life 17.0 years"))
        self.assertIn("gnuplot not found", result.stderr)
        self.assertIn("gnuplot-nox", result.stderr)
        self.assertFalse(os.path.exists(self.path("a.png")))


if __name__ == "__main__":
    unittest.main()
