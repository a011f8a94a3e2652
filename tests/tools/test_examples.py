"""The committed example reports are what the built program writes for the example jobs.

They record the date of their run: SOURCE_DATE_EPOCH=0 fixes it. When a change to the program
changes them on purpose, regenerate them:
    (export SOURCE_DATE_EPOCH=0 && cd examples && for j in splash_zone tidal_zone submerged_profile; do
       ../build/tbxrun --summary $j && ../tools/tbxplot $j; done &&
     for j in fib_splash_zone fib_splash_pier fib_submerged_pile; do
       ../build/tbxrun $j && ../tools/tbxplot $j; done)
"""

import os
import re
import shutil
import unittest

from tooltest import EXAMPLES_DIR, SOURCE_DIR, TBXRUN, TempDirTest, read_bytes, run

EXAMPLES = ("splash_zone", "tidal_zone", "submerged_profile")
TOML_EXAMPLES = ("fib_splash_zone", "fib_splash_pier", "fib_submerged_pile")


class ExamplesTest(TempDirTest):

    def test_committed_reports_match_a_fresh_run(self):
        for job in EXAMPLES + TOML_EXAMPLES:
            with self.subTest(job=job):
                toml = job in TOML_EXAMPLES
                shutil.copy(os.path.join(EXAMPLES_DIR, job + (".toml" if toml else ".dat")),
                            self.dir)
                run([TBXRUN] + ([] if toml else ["--summary"]) + [job], cwd=self.dir,
                    env=dict(os.environ, SOURCE_DATE_EPOCH="0"))
                for suffix in ("_summary.json", "_summary.csv") + (
                        ("_report.txt",) if toml else ("_rs.dat", "_xls.dat")):
                    committed = os.path.join(EXAMPLES_DIR, job + suffix)
                    self.assertTrue(read_bytes(self.path(job + suffix)) == read_bytes(committed),
                                    f"examples/{job}{suffix} is not what tbxrun writes now: "
                                    "regenerate the examples")

    def test_every_example_has_its_plot(self):
        for job in EXAMPLES + TOML_EXAMPLES:
            for suffix in (".png", ".svg"):
                self.assertTrue(os.path.isfile(os.path.join(EXAMPLES_DIR, job + suffix)),
                                job + suffix)

    def test_pictures_and_files_the_readme_points_to_exist(self):
        with open(os.path.join(SOURCE_DIR, "README.md")) as f:
            readme = f.read()
        images = re.findall(r"!\[[^\]]*\]\(([^)]+)\)", readme)
        self.assertTrue(any(i.startswith("examples/") and i.endswith(".png") for i in images),
                        "the README shows no example plot")
        for target in images + re.findall(r"`(examples/[^`\s]+)`", readme):
            self.assertTrue(os.path.exists(os.path.join(SOURCE_DIR, target)), target)


if __name__ == "__main__":
    unittest.main()
