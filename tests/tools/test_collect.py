"""tbxcollect: many spreadsheet files into one CSV, the job name first."""

import os
import unittest

from tooltest import TempDirTest, read_bytes, tool, write, xls_text

SERIES_A = [["1", "0.000000", "0.000000", "5.889493", "0.000000"],
            ["50", "16.350000", "0.003698", "0.958830", "16.882208"]]
SINGLE_B = [["50", "7.310000", "0.002603", "1.533506", "6.257561"]]
UNDEFINED_C = [["1", "-nan", "-nan", "-nan", "nan"], ["10", "0.000000", "0.000000", "inf", "-inf"]]
PROFILE_D = [["0.250", "0.635", "0.664", "0.661"], ["0.750", "0.517", "0.603", "0.593"]]


class CollectTest(TempDirTest):

    def setUp(self):
        super().setUp()
        for name, series, profile in (("a", SERIES_A, ()), ("b", SINGLE_B, ()),
                                      ("c", UNDEFINED_C, ()), ("d", SINGLE_B, PROFILE_D)):
            os.mkdir(self.path(name))
            write(self.path(name, name + "_xls.dat"), xls_text(series, profile))

    def collect(self, *args):
        result = tool("tbxcollect", *args, cwd=self.dir)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, "")
        return result.stdout

    def test_rows_of_every_job_in_argument_order_values_as_written(self):
        self.assertEqual(self.collect("b/b", "a/a_xls.dat", "c/c"),
                         "job,time_years,pf_percent,pf_std_error,beta,pf_beta_percent\n"
                         "b,50,7.310000,0.002603,1.533506,6.257561\n"
                         "a,1,0.000000,0.000000,5.889493,0.000000\n"
                         "a,50,16.350000,0.003698,0.958830,16.882208\n"
                         "c,1,NaN,NaN,NaN,NaN\n"
                         "c,10,0.000000,0.000000,Inf,-Inf\n")

    def test_profiles(self):
        self.assertEqual(self.collect("--profiles", "a/a", "d/d"),
                         "job,depth_cm,measured,predicted_1,predicted_2\n"
                         "d,0.250,0.635,0.664,0.661\n"
                         "d,0.750,0.517,0.603,0.593\n")
        self.assertIn("d,50,7.310000", self.collect("d/d"))

    def test_output_file(self):
        self.assertEqual(self.collect("-o", "all.csv", "a/a", "b/b"), "")
        with open(self.path("all.csv")) as f:
            self.assertEqual(len(f.read().splitlines()), 4)

    def test_jobs_of_one_name_in_different_directories(self):
        os.makedirs(self.path("x", "a"))
        write(self.path("x", "a", "a_xls.dat"), xls_text(SINGLE_B))
        result = tool("tbxcollect", "a/a", "x/a/a", cwd=self.dir)
        self.assertEqual(result.returncode, 1)
        self.assertIn("--full-names", result.stderr)
        table = self.collect("--full-names", "./a/a", "x/a/a")
        self.assertEqual([line.split(",")[0] for line in table.splitlines()],
                         ["job", "a/a", "a/a", "x/a/a"])

    def test_a_failure_leaves_the_previous_table_alone(self):
        before = write(self.path("all.csv"), "previous\n")
        for bad in ("missing/job", "broken"):
            if bad == "broken":
                write(self.path("broken_xls.dat"), " 50 \n 50 7.3 0.002 \n\n")
            result = tool("tbxcollect", "-o", "all.csv", "a/a", bad, cwd=self.dir)
            self.assertEqual(result.returncode, 1)
            self.assertEqual(read_bytes(before), b"previous\n")
            self.assertEqual(sorted(os.listdir(self.dir)),
                             sorted(["a", "b", "c", "d", "all.csv"] +
                                    (["broken_xls.dat"] if bad == "broken" else [])))
        self.assertIn("broken_xls.dat: line 2: expected 5 numbers", result.stderr)

    def test_a_profile_line_that_is_no_profile_point(self):
        write(self.path("e_xls.dat"), xls_text(SINGLE_B, [["0.25", "x", "0.1", "0.1"]]))
        result = tool("tbxcollect", "e", cwd=self.dir)
        self.assertEqual(result.returncode, 1)
        self.assertIn("e_xls.dat: line 4: not a number: 'x'", result.stderr)


if __name__ == "__main__":
    unittest.main()
