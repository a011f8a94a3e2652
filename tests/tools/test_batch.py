"""The batch example runs its three jobs with make -j, GNU parallel and the Slurm array script."""

import csv
import os
import shutil
import sys
import unittest

from tooltest import (EXAMPLES_DIR, TBXRUN, TOOLS_DIR, TempDirTest, read_bytes, run,
                      skip_all_unless, write)

BATCH_DIR = os.path.join(EXAMPLES_DIR, "batch")
JOBS = ("cover40", "cover60", "cover80")
TBXCOLLECT = f"{sys.executable} {os.path.join(TOOLS_DIR, 'tbxcollect')}"


class BatchTest(TempDirTest):

    def copy_of_batch(self, name):
        target = self.path(name)
        shutil.copytree(BATCH_DIR, target,
                        ignore=shutil.ignore_patterns("*_rs.dat", "*_xls.dat", "*.log",
                                                      "results.csv"))
        return target

    def outputs(self, where):
        return {job + suffix: read_bytes(os.path.join(where, job, job + suffix))
                for job in JOBS for suffix in ("_rs.dat", "_xls.dat")}

    def make(self, where, *targets):
        return run(["make", "-j3", f"TBXRUN={TBXRUN}", f"TBXCOLLECT={TBXCOLLECT}", *targets],
                   cwd=where)

    def test_make_runs_every_job_once_and_collects_the_results(self):
        where = self.copy_of_batch("make")
        self.make(where)
        with open(os.path.join(where, "jobs.txt")) as f:
            self.assertEqual(tuple(f.read().split()), JOBS)
        with open(os.path.join(where, "results.csv")) as f:
            rows = list(csv.DictReader(f))
        self.assertEqual(sorted({r["job"] for r in rows}), list(JOBS))
        # The family differs only in the cover: more cover, later corrosion.
        pf = {job: [float(r["pf_percent"]) for r in rows if r["job"] == job] for job in JOBS}
        self.assertEqual(len(pf["cover40"]), 11)
        for thin, thick in zip(JOBS, JOBS[1:]):
            self.assertTrue(all(a >= b for a, b in zip(pf[thin], pf[thick])), (thin, thick))
            self.assertGreater(pf[thin][-1], pf[thick][-1])
        # Up to date: a second make has nothing to do.
        self.assertEqual(run(["make", "-q", f"TBXRUN={TBXRUN}", f"TBXCOLLECT={TBXCOLLECT}"],
                             cwd=where, check=False).returncode, 0)

    def test_slurm_array_task_runs_the_job_of_its_line(self):
        reference = self.copy_of_batch("make")
        self.make(reference)
        where = self.copy_of_batch("slurm")
        for task, job in enumerate(JOBS, start=1):
            env = dict(os.environ, SLURM_ARRAY_TASK_ID=str(task), TBXRUN=TBXRUN)
            run(["bash", "tbxrun-array.sbatch"], cwd=where, env=env)
        self.assertEqual(self.outputs(where), self.outputs(reference))
        env = dict(os.environ, SLURM_ARRAY_TASK_ID="4", TBXRUN=TBXRUN)
        beyond = run(["bash", "tbxrun-array.sbatch"], cwd=where, env=env, check=False)
        self.assertEqual(beyond.returncode, 1)
        self.assertIn("no job on line 4 of jobs.txt", beyond.stderr)

    def test_a_tbxrun_with_no_sync_leaves_the_sync_to_make_and_the_task(self):
        where = self.copy_of_batch("no-sync")
        fake = write(self.path("tbxrun"), '#!/bin/sh\n[ "$1" = --help ] && echo "  --no-sync" '
                     '&& exit\necho "$@" >> ../calls\nfor j; do :; done\necho >"${j}_xls.dat"\n')
        os.chmod(fake, 0o755)
        run(["make", f"TBXRUN={fake}", "cover40/cover40_xls.dat"], cwd=where)
        env = dict(os.environ, SLURM_ARRAY_TASK_ID="2", TBXRUN=fake)
        run(["bash", "tbxrun-array.sbatch"], cwd=where, env=env)
        self.assertEqual(read_bytes(os.path.join(where, "calls")),
                         b"--no-sync cover40\n--no-sync cover60\n")

    @unittest.skipIf(shutil.which("parallel") is None, "GNU parallel not found")
    def test_gnu_parallel_gives_the_same_reports(self):
        reference = self.copy_of_batch("make")
        self.make(reference)
        where = self.copy_of_batch("parallel")
        run(["parallel", "--will-cite", "--jobs", "3", f"cd {{}} && {TBXRUN} {{}} > {{}}.log",
             "::::", "jobs.txt"], cwd=where)
        self.assertEqual(self.outputs(where), self.outputs(reference))


if __name__ == "__main__":
    skip_all_unless("make")
    unittest.main()
