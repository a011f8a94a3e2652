"""tbxplot and tbxcollect with the summary files of tbxrun --summary."""

import csv
import json
import os
import re
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
        # The provenance columns and the run identifier after the time-point
        # columns are not collected.
        self.assertEqual(summary[0][12:], ["program", "seed", "nsim", "job_sha256", "date", "run"])
        self.assertEqual([row[1:] for row in table[1:]], [row[:12] for row in summary[2:]])
        self.assertTrue(all(row[0] == "splash_zone" for row in table[1:]))
        # Old summaries wrote 17 digits: the table has the shortest exact form.
        with open(self.path("splash_zone_summary.csv"), "w", newline="") as f:
            csv.writer(f, lineterminator="\n").writerows(
                summary[:2] + [[r[0], r[1]] + [f"{float(v):.17g}" if v else "" for v in r[2:12]]
                               + r[12:] for r in summary[2:]])
        again = tool("tbxcollect", "--summary", "splash_zone", cwd=self.dir).stdout
        self.assertEqual(list(csv.reader(again.splitlines())), table)

    def test_collect_rounds_to_the_digits_the_uncertainty_justifies(self):
        result = tool("tbxcollect", "--summary", "--round", "splash_zone", cwd=self.dir)
        self.assertEqual(result.returncode, 0, result.stderr)
        exact = csv.DictReader(tool("tbxcollect", "--summary", "splash_zone",
                                    cwd=self.dir).stdout.splitlines())
        for e, r in zip(exact, csv.DictReader(result.stdout.splitlines())):
            if not e["pf_se_percent"] or float(e["pf_se_percent"]) == 0:
                continue
            se = float(e["pf_se_percent"])
            self.assertEqual(len(r["pf_se_percent"].replace(".", "").lstrip("0")), 2, r)
            for key in ("pf_percent", "pf_low_percent", "pf_high_percent"):
                self.assertLessEqual(abs(float(r[key]) - float(e[key])), se / 10, (key, r))
            self.assertEqual(r["failures"], e["failures"])

    def test_a_summary_of_another_run_is_refused(self):
        def rerun_with_seed(seed, *options):
            with open(self.path("splash_zone.dat")) as f:
                job = re.sub(r"(?m)^\d+ ;( *# seed$)", f"{seed} ;\\1", f.read())
            with open(self.path("splash_zone.dat"), "w") as f:
                f.write(job)
            run([TBXRUN, *options, "splash_zone"], cwd=self.dir)

        def keep(*names):
            for name in names:
                shutil.copy(self.path(name), self.path(name + ".kept"))

        def put_back(*names):
            for name in names:
                os.replace(self.path(name + ".kept"), self.path(name))

        json_name, csv_name = "splash_zone_summary.json", "splash_zone_summary.csv"
        # Each case: how the files come apart, and which tools must refuse.
        cases = [
            ("an earlier summary beside new reports",
             lambda: (keep(json_name, csv_name), rerun_with_seed(99), put_back(json_name, csv_name)),
             ("tbxplot", "tbxcollect")),
            ("a CSV file of another run than the JSON file",
             lambda: (keep(csv_name), rerun_with_seed(98, "--summary"), put_back(csv_name)),
             ("tbxcollect",)),
        ]
        for what, come_apart, refusing in cases:
            with self.subTest(what):
                run([TBXRUN, "--summary", "splash_zone"], cwd=self.dir)
                come_apart()
                if "tbxplot" in refusing:
                    plot = tool("tbxplot", "--no-plot", "splash_zone", cwd=self.dir)
                    self.assertEqual(plot.returncode, 1)
                    self.assertIn("written by another run", plot.stderr)
                collect = tool("tbxcollect", "--summary", "splash_zone", cwd=self.dir)
                self.assertEqual(collect.returncode, 1)
                self.assertIn("written by another run", collect.stderr)
                self.assertEqual(collect.stdout, "")


class TomlJobTest(TempDirTest):
    """A TOML job writes no spreadsheet file: the tools take everything from its summary."""

    def setUp(self):
        super().setUp()
        for suffix in (".toml", "_summary.json", "_summary.csv"):
            shutil.copy(os.path.join(EXAMPLES_DIR, "fib_splash_pier" + suffix),
                        self.path("pier" + suffix))
        with open(self.path("pier_summary.json")) as f:
            self.summary = json.load(f)

    def test_plot_and_collect_read_the_summary(self):
        plot = tool("tbxplot", "--no-plot", "pier.toml", cwd=self.dir)
        self.assertEqual(plot.returncode, 0, plot.stderr)
        self.assertIn(f"pier: service life {self.summary['service_life']['years']:.1f} years",
                      plot.stdout)
        result = tool("tbxcollect", "pier", cwd=self.dir)
        self.assertEqual(result.returncode, 0, result.stderr)
        table = list(csv.DictReader(result.stdout.splitlines()))
        self.assertEqual([(float(r["time_years"]), float(r["pf_percent"]),
                           float(r["pf_std_error"]) * 100, float(r["beta"])) for r in table],
                         [(p["t"], p["pf"], p["pf_se"], p["beta_cornell"])
                          for p in self.summary["time_points"]])
        if shutil.which("gnuplot"):
            self.assertEqual(tool("tbxplot", "--format", "svg", "pier", cwd=self.dir).returncode, 0)
            with open(self.path("pier.svg")) as f:
                self.assertIn(f"pier: {self.summary['title']}", f.read())

    def test_a_life_before_the_first_time_point_is_a_bound(self):
        # From 5 years on, Pf is above the target from the first point: the
        # summary gives the first time, which is only an upper bound.
        with open(self.path("pier.toml")) as f:
            job = re.sub(r"(?m)^times = .*$", "times = [5, 10, 20]", f.read())
        with open(self.path("pier.toml"), "w") as f:
            f.write(job)
        run([TBXRUN, "pier"], cwd=self.dir)
        with open(self.path("pier_summary.json")) as f:
            life = json.load(f)["service_life"]
        self.assertEqual((life["kind"], life["years"]), ("at_start", 5))
        with open(self.path("pier_report.txt")) as f:
            self.assertIn(": at most 5.00 years: Pf at the first time point", f.read())
        plot = tool("tbxplot", "--no-plot", "pier", cwd=self.dir)
        self.assertIn("pier: service life at most 5 years", plot.stdout)

if __name__ == "__main__":
    unittest.main()
