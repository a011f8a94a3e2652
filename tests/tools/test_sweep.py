"""tbxsweep: studies made from a base job, run, resumed, collected; the Slurm task script."""

import csv
import fcntl
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time
import tomllib
import unittest
import xml.etree.ElementTree as ET

from tooltest import (EXAMPLES_DIR, TBXRUN, TOOLS_DIR, TempDirTest, read_bytes, run, tool,
                      write)

BASE = os.path.join(EXAMPLES_DIR, "splash_zone")  # nsim 10000, 11 time points
TOML_BASE = os.path.join(EXAMPLES_DIR, "fib_splash_pier")
ENV = dict(os.environ, TBXRUN=TBXRUN)


class SweepTest(TempDirTest):

    def sweep(self, *args, status=0):
        result = tool("tbxsweep", *args, cwd=self.dir, env=ENV)
        self.assertEqual(result.returncode, status, result.stderr)
        return result

    def study(self):
        with open(self.path("s", "study.json")) as f:
            return json.load(f)

    def rows(self, name):
        with open(self.path("s", name)) as f:
            return list(csv.DictReader(f))

    def reports(self, folder, name):
        return [read_bytes(os.path.join(folder, name + s)) for s in ("_rs.dat", "_xls.dat")]

    def by_hand(self, name):
        """The job run by tbxrun directly, in a folder of its own."""
        folder = self.path("by-hand", name)
        os.makedirs(folder)
        shutil.copy(self.path("s", name, name + ".dat"), folder)
        run([TBXRUN, name], cwd=folder)
        return folder


class NewTest(SweepTest):

    def test_grid_and_zip(self):
        cases = [
            (["--vary", "xc.mean=40,60", "--vary", "Dcoef.sigma=0.1:0.3:0.1"],
             ["cover-40_dcoef.sigma-0.1", "cover-40_dcoef.sigma-0.2", "cover-40_dcoef.sigma-0.3",
              "cover-60_dcoef.sigma-0.1", "cover-60_dcoef.sigma-0.2", "cover-60_dcoef.sigma-0.3"]),
            (["--zip", "--vary", "xc.p1=40,60", "--vary", "seed=7:5:-2"],
             ["cover-40_seed-7", "cover-60_seed-5"]),
            (["--vary", "nsim=1000:3000:1000"], ["nsim-1000", "nsim-2000", "nsim-3000"]),
        ]
        for args, names in cases:
            with self.subTest(args=args):
                shutil.rmtree(self.path("s"), ignore_errors=True)
                self.sweep("new", BASE, "s", *args)
                self.assertEqual([j["name"] for j in self.study()["jobs"]], names)
                self.assertEqual(sorted(os.listdir(self.path("s"))), sorted(names + ["study.json"]))
        # The values land in their fields and nothing else changes.
        with open(BASE + ".dat") as f:
            base = f.read()
        with open(self.path("s", "nsim-2000", "nsim-2000.dat")) as f:
            self.assertEqual(f.read(), base.replace("10000 ;", "2000  ;", 1))
        self.sweep("new", BASE, "g", "--vary", "xc.mean=45", "--vary", "Dcoef.sigma=0.25")
        name = "cover-45_dcoef.sigma-0.25"
        with open(self.path("g", name, name + ".dat")) as f:
            text = f.read()
        for row in ("   45     1.079  0.60   3.0    2.33   0      28     15     28   ;  #",
                    "   8.0    0.25   0.15   0.6    2.85   100    0      2      0    ;  #"):
            self.assertIn("\n" + row, text)
        with open(self.path("g", "study.json")) as f:
            self.assertEqual(json.load(f)["jobs"], [{"name": "cover-45_dcoef.sigma-0.25",
                                                     "values": {"xc.mean": "45",
                                                                "Dcoef.sigma": "0.25"}}])

    def test_refusals_write_nothing(self):
        cases = [
            (["--vary", "cover=40,50"], "unknown field 'cover'"),
            (["--vary", "xc.mean=40,5O"], "job cover-5O: line 43: xc (concrete cover, mm), first "
             "parameter = 5O: Invalid real number (expected: a number)"),
            (["--vary", "xc.mean=1e1234"], "first parameter = 1e1234: Invalid real number"),
            (["--vary", "xc.mean=4 0"], "'4 0' is not one value"),
            (["--vary", "nsim=100,1.5"], "= 1.5: Invalid integer number (expected: a whole number)"),
            (["--vary", "nsim=-1,100"], "job nsim--1: line 50: simulations per time point = -1: "
             "Error: Number of simulations must be positive"),
            (["--vary", "t.last=0"], "the last time of the series (not 0)"),
            (["--vary", "Dcoef.mean=3"], "use Dcoef.mu"),
            (["--vary", "seed=5,123459876"], "Initial seed gives a constant random sequence"),
            (["--vary", "xc.mean=30:90:0"], "the step must lead from 30 to 90"),
            (["--vary", "seed=1:400:1", "--vary", "nsim=1:300:1"], "120000 jobs (400 x 300)"),
            (["--zip", "--vary", "xc.mean=40,50", "--vary", "seed=1,2,3"], "xc.mean has 2"),
            (["--vary", "xc.mean=40", "--vary", "xc.p1=50"], "are the same field"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                result = self.sweep("new", BASE, "s", *args, status=1)
                self.assertIn(message, result.stderr)
                self.assertEqual(os.listdir(self.dir), [])
        os.mkdir(self.path("s"))
        os.mkdir(self.path("s", "x"))
        self.assertIn("exists already", self.sweep("new", BASE, "s", "--vary", "nsim=5",
                                                   status=1).stderr)


class TomlNewTest(SweepTest):

    def test_fields_are_varied_by_name_in_place(self):
        self.sweep("new", TOML_BASE, "s", "--vary", "a.mean=45,62.5", "--vary", "D_RCM0.sd=1.5")
        self.assertEqual(self.study()["job_file"], ".toml")
        name = "cover-62.5_D_RCM0.sd-1.5"
        self.assertEqual([j["name"] for j in self.study()["jobs"]],
                         ["cover-45_D_RCM0.sd-1.5", name])
        with open(TOML_BASE + ".toml") as f:
            base = f.read()
        with open(self.path("s", name, name + ".toml")) as f:
            # The values change; the comment after one keeps its column.
            self.assertEqual(f.read(), base.replace("\nmean = 60\n", "\nmean = 62.5\n").replace(
                "\nsd = 1.78              #", "\nsd = 1.5               #"))

    def test_a_field_the_job_does_not_hold_is_refused(self):
        cases = [
            (["--vary", "xc.mean=40"], "unknown field 'xc.mean': fields of a TOML job are"),
            (["--vary", "alpha.value=0.4"], "alpha.value: the preset binder CEM I gives alpha as "
             "beta, which has no value: vary alpha.mean"),
            (["--vary", "alpha.mean=1.2"], "alpha.mean: expected a mean between lower = 0 and "
             "upper = 1, got 1.2"),
            (["--vary", "binder=CEM_II"], "'CEM_II' is no binder: choose from CEM I, fly ash"),
            (["--vary", "C0.mean=0.2"], "is fixed and has no mean: vary C0.value"),
            (["--vary", "a.sd=4,-1"], "job cover.sd--1: line 30: a.sd: expected a standard "
             "deviation >= 0"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                result = self.sweep("new", TOML_BASE, "s", *args, status=1)
                self.assertIn(message, result.stderr)
                self.assertEqual(os.listdir(self.dir), [])


    def test_presets_are_varied_and_fill_what_the_job_does_not_give(self):
        # binder sets the key; alpha.sd, which the binder's preset fills, gets
        # that preset's whole table with sd in it; zipped, one job per pair.
        self.sweep("new", TOML_BASE, "s", "--zip", "--vary", "binder=slag,fly_ash",
                   "--vary", "alpha.sd=0.1,0.2", "--vary", "cover=50,70")
        names = [j["name"] for j in self.study()["jobs"]]
        self.assertEqual(names, ["binder-slag_alpha.sd-0.1_cover-50",
                                 "binder-fly_ash_alpha.sd-0.2_cover-70"])
        self.assertEqual(self.study()["fields"][0]["values"], ["slag", "fly ash"])
        with open(self.path("s", names[1], names[1] + ".toml"), "rb") as f:
            job = tomllib.load(f)
        self.assertEqual((job["binder"], job["alpha"], job["a"]["mean"]),
                         ("fly ash", {"distribution": "beta", "mean": 0.6, "sd": 0.2,
                                      "lower": 0, "upper": 1}, 70))
        # A job that gives [alpha] itself overrides the preset: varying binder
        # would vary nothing, and is refused.
        with open(TOML_BASE + ".toml") as f:
            text = f.read()
        write(self.path("own.toml"), text.replace('binder = "CEM I"\n', "") +
              '\n[alpha]\ndistribution = "fixed"\nvalue = 0.4\n')
        result = self.sweep("new", "own.toml", "t", "--vary", "binder=slag", status=1)
        self.assertIn("gives [alpha], which overrides the binder preset", result.stderr)
        # A job without binder gets the key before its first table.
        write(self.path("none.toml"), text.replace('binder = "CEM I"\n', ""))
        self.sweep("new", "none.toml", "u", "--vary", "binder=CEM_I,slag")
        with open(self.path("u", "binder-slag", "binder-slag.toml"), "rb") as f:
            self.assertEqual(tomllib.load(f)["binder"], "slag")

    def test_the_presets_are_those_of_tbxrun(self):
        # tbxsweep writes a preset's table into a job: it must be tbxrun's.
        sys.path.insert(0, TOOLS_DIR)
        from tbxtomljob import PRESETS
        with open(os.path.join(os.environ["TBX_SOURCE_DIR"], "src", "model",
                               "fib_presets.cpp")) as f:
            text = f.read()
        found = []
        for variable, setting, choice, kind, numbers in re.findall(
                r'\{FIB_(\w+), FibSetting::(\w+), "([^"]*)", (?:\{MomentKind::)?(\w+)[,(]'
                r'\s*([^)}]*)[)}]', text):
            values = [float(x) for x in numbers.split(",")]
            found.append((variable.lower(), None if setting == "none" else setting, choice,
                          kind, values[:{"normal": 2, "beta": 4, "fixed": 1}[kind]]))
        self.assertEqual(found, [(v.lower(), setting, choice, t["distribution"],
                                  [float(x) for k, x in t.items() if k != "distribution"])
                                 for v, setting, choice, t in PRESETS])

    def test_the_base_job_is_named_relative_to_the_study(self):
        shutil.copy(TOML_BASE + ".toml", self.path("pier.toml"))
        os.mkdir(self.path("studies"))
        self.sweep("new", "pier", "studies/s", "--vary", "cover=50")
        with open(self.path("studies", "s", "study.json")) as f:
            self.assertEqual(json.load(f)["base"], os.path.join("..", "..", "pier.toml"))


class RunTest(SweepTest):

    def test_resume_after_a_killed_run_gives_the_reports_of_a_whole_run(self):
        self.sweep("new", BASE, "s", "--vary", "xc.mean=40,50,60,70", "--vary", "nsim=100000")
        names = [j["name"] for j in self.study()["jobs"]]
        first = subprocess.Popen([sys.executable, os.path.join(TOOLS_DIR, "tbxsweep"), "run",
                                  "-j", "1", "--engine", "pool", "s"], cwd=self.dir, env=ENV,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                 start_new_session=True)
        deadline = time.monotonic() + 60
        log = self.path("s", names[1], names[1] + ".log")
        while not (os.path.exists(log) and read_bytes(log).endswith(b"\n")):  # started
            self.assertLess(time.monotonic(), deadline)
            time.sleep(0.02)
        os.killpg(first.pid, signal.SIGKILL)
        first.wait()
        status = self.sweep("status", "s").stdout
        self.assertIn("4 jobs: 1 done", status)
        self.assertRegex(status, r"interrupted: cover-50_nsim-100000")
        done_log = os.stat(self.path("s", names[0], names[0] + ".log")).st_mtime_ns

        result = self.sweep("run", "s")
        self.assertIn("4 jobs, 1 complete, 3 to run", result.stderr)
        self.assertEqual(os.stat(self.path("s", names[0], names[0] + ".log")).st_mtime_ns,
                         done_log)
        for name in names:
            self.assertEqual(self.reports(self.path("s", name), name),
                             self.reports(self.by_hand(name), name))
            with open(self.path("s", name, name + ".log")) as f:
                log = f.read().splitlines()
            self.assertTrue(log[0].startswith(f"# tbxsweep: started {name} on "))
            self.assertEqual(log[-1], "# tbxsweep: exit status 0")
        self.assertIn("4 done, 0 running, 0 failed", self.sweep("status", "s").stdout)
        with open(self.path("s", "study.json"), "rb") as held:
            fcntl.flock(held, fcntl.LOCK_EX)  # as a run of the study in progress holds it
            self.assertIn("another tbxsweep run is running this study",
                          self.sweep("run", "s", status=1).stderr)
        # A job file changed after its run makes the job due again.
        os.utime(self.path("s", names[2], names[2] + ".dat"))
        self.assertIn("1 to run", self.sweep("run", "s").stderr)

    def test_a_failed_job_is_listed_and_collected_as_failed(self):
        for engine in ("pool", "parallel") if shutil.which("parallel") else ("pool",):
            with self.subTest(engine=engine):
                shutil.rmtree(self.path("s"), ignore_errors=True)
                self.sweep("new", BASE, "s", "--vary", "seed=12345,678")
                os.mkdir(self.path("s", "seed-678", "seed-678_xls.dat"))  # cannot be written
                result = self.sweep("run", "--engine", engine, "s", status=1)
                self.assertIn("failed: seed-678: Unable to open output file - jobname_xls.dat "
                              "(log: ", result.stderr)
                result = self.sweep("collect", "s", status=1)
                self.assertIn("failed: seed-678", result.stderr)
                self.assertEqual({r["job"] for r in self.rows("study.csv")}, {"seed-12345"})
                life = {r["job"]: r for r in self.rows("study_life.csv")}
                self.assertEqual(life["seed-678"]["status"], "failed")
                self.assertIn("Unable to open output file", life["seed-678"]["message"])
                self.assertEqual(life["seed-12345"]["status"], "done")


class TomlRunTest(SweepTest):

    def test_a_study_of_a_toml_job_runs_and_is_collected_from_the_summaries(self):
        self.sweep("new", TOML_BASE, "s", "--vary", "a.mean=40,70", "--vary", "simulations=2000")
        self.sweep("run", "s")
        self.assertIn("2 jobs, 2 complete, 0 to run", self.sweep("run", "s").stderr)
        self.sweep("collect", "s")
        self.assertEqual({r["index_source"] for r in self.rows("study.csv")}, {"summary"})
        for life in self.rows("study_life.csv"):
            with open(self.path("s", life["job"], life["job"] + "_summary.json")) as f:
                years = json.load(f)["service_life"]["years"]
            self.assertEqual(life["life_years"], "" if years is None else repr(years))


    def test_a_study_of_binders_and_covers_is_collected_and_drawn_with_its_bounds(self):
        # CEM I at 40 mm initiates before the first time point, fly ash at
        # 100 mm not by the last: the lives at both ends are bounds.
        self.sweep("new", TOML_BASE, "s", "--vary", "binder=CEM_I,fly_ash",
                   "--vary", "cover=40,100", "--vary", "simulations=2000")
        self.sweep("run", "s")
        answer = self.sweep("collect", "s", "--target-life", "5").stdout
        self.assertEqual(answer.splitlines(), [
            "cover between 40 and 100 mm reaches 5 years at Beta 1.3 (standard index) "
            "(binder CEM I): at 40 mm the series starts after the crossing",
            "cover between 40 and 100 mm reaches 5 years at Beta 1.3 (standard index) "
            "(binder fly ash): at 100 mm the series ends before the crossing"])
        lives = self.rows("study_life.csv")
        self.assertEqual([(r["binder"], r["a.mean"], r["life_kind"]) for r in lives],
                         [("CEM I", "40", "at_start"), ("CEM I", "100", "summary"),
                          ("fly ash", "40", "summary"), ("fly ash", "100", "not_reached")])
        for life in lives:
            with open(self.path("s", life["job"], life["job"] + "_summary.json")) as f:
                summary = json.load(f)
            self.assertEqual((life["design_life_years"], life["design_cover_mm"]),
                             (repr(summary["design_life"]),
                              repr(summary["design_cover"]["mean_cover"])))
        if shutil.which("gnuplot"):
            self.assertEqual(self.sweep("plot", "s", "--target-life", "5").stdout, answer)
            text = " ".join(t.strip() for t in ET.parse(self.path("s", "study_design.svg"))
                            .getroot().itertext())
            for label in ("against cover, by binder", "binder fly ash, 95 % interval",
                          "bound: the series starts after the crossing",
                          "bound: the series ends before the crossing", "target: 5 years"):
                self.assertIn(label, text)


class CollectTest(SweepTest):

    def test_the_answer_agrees_with_the_jobs_run_by_hand(self):
        self.sweep("new", BASE, "s", "--vary", "xc.mean=50:80:10")
        self.sweep("run", "s")
        answer = self.sweep("collect", "s", "--index", "cornell").stdout
        lives = {}
        for job in self.study()["jobs"]:
            name = job["name"]
            line = tool("tbxplot", "--no-plot", self.by_hand(name) + "/" + name).stdout
            lives[float(job["values"]["xc.mean"])] = float(
                re.search(r"service life ([\d.]+) years", line).group(1))
        covers = sorted(lives)
        below = max(c for c in covers if lives[c] < 50)
        above = min(c for c in covers if c > below)
        cover = below + (50 - lives[below]) / (lives[above] - lives[below]) * (above - below)
        self.assertEqual(answer, f"cover {cover:.1f} mm reaches 50 years at Beta 1.3 "
                                 "(Cornell index)\n")
        rows = self.rows("study.csv")
        self.assertEqual(len(rows), 4 * 11)
        self.assertEqual(list(rows[0])[:3], ["job", "xc.mean", "time_years"])
        self.assertEqual({r["index_source"] for r in rows}, {"reports"})
        life = self.rows("study_life.csv")
        self.assertEqual([round(float(r["life_cornell_years"]), 1) for r in life],
                         [lives[c] for c in covers])
        if shutil.which("gnuplot"):
            self.assertEqual(self.sweep("plot", "s", "--index", "cornell").stdout, answer)
            for chart in ("pf", "design"):
                for fmt in ("png", "svg"):
                    self.assertGreater(os.path.getsize(self.path("s", f"study_{chart}.{fmt}")),
                                       1000)

    def test_the_summary_analysis_is_taken_where_it_exists(self):
        self.sweep("new", BASE, "s", "--vary", "xc.mean=50,60")
        self.sweep("run", "s")
        points = [{"t": t, "beta": 9.5, "beta_low": None, "beta_high": 10.5}
                  for t in [1] + list(range(10, 101, 10))]
        summary = {"time_points": points, "service_life": {
            "target_beta": 1.3, "years": 41.25, "low": 40.5, "high": 42.0, "cornell_years": 36.8}}
        with open(self.path("s", "cover-60", "cover-60_summary.json"), "w") as f:
            json.dump(summary, f)
        self.sweep("collect", "s")
        rows = [r for r in self.rows("study.csv") if r["time_years"] == "50"]
        self.assertEqual([(r["job"], r["beta_std_low"], r["beta_std_high"], r["index_source"])
                          for r in rows], [("cover-50", "", "", "reports"),
                                           ("cover-60", "", "10.5", "summary")])
        life = self.rows("study_life.csv")[1]
        self.assertEqual((life["life_years"], life["life_low"], life["life_high"]),
                         ("41.25", "40.5", "42.0"))


class SlurmScriptTest(SweepTest):

    def test_each_array_task_runs_its_own_job(self):
        self.sweep("new", BASE, "s", "--vary", "xc.mean=40,60")
        self.sweep("run", "s", "-j", "1")
        os.utime(self.path("s", "cover-60", "cover-60.dat"))  # only this one is due
        os.unlink(self.path("s", "cover-60", "cover-60.log"))
        result = self.sweep("slurm", "s", "--max-running", "3", "--cpus", "2")
        self.assertIn("1 of 2 jobs to run", result.stderr)
        self.assertIn("--array=1-1%3", result.stdout)
        script = self.path("s", "slurm", "tbxsweep.sbatch")
        tasks = result.stdout.split()[-1]
        self.assertEqual(read_bytes(self.path("s", "slurm", tasks)), b"cover-60\n")
        with open(script) as f:
            self.assertIn("#SBATCH --cpus-per-task=2\n", f.read())
        env = dict(os.environ, SLURM_ARRAY_TASK_ID="1", SLURM_CPUS_PER_TASK="2")
        run(["bash", script, tasks], env=env)
        self.assertIn("2 done", self.sweep("status", "s").stdout)
        self.assertEqual(self.reports(self.path("s", "cover-60"), "cover-60"),
                         self.reports(self.by_hand("cover-60"), "cover-60"))
        beyond = run(["bash", script, tasks], env=dict(env, SLURM_ARRAY_TASK_ID="2"),
                     check=False)
        self.assertEqual(beyond.returncode, 1)
        self.assertIn("no job on line 2", beyond.stderr)

    def test_a_task_started_elsewhere_is_running_until_the_cluster_has_none_left(self):
        self.sweep("new", BASE, "s", "--vary", "xc.mean=40")
        write(self.path("s", "cover-40", "cover-40.log"),
              "# tbxsweep: started cover-40 on node17, process 4242, at 2026-12-07T10:00:00Z\n")
        os.mkdir(self.path("s", "slurm"))
        write(self.path("s", "slurm", "submitted"), "tasks-1.txt: 71 72\n")
        os.mkdir(self.path("bin"))
        squeue = write(self.path("bin", "squeue"), "#!/bin/sh\ncat \"$SQUEUE_ANSWER\"\n")
        os.chmod(squeue, 0o755)
        for queued, state in (("71_3\n", "1 running"), ("", "1 interrupted")):
            answer = write(self.path("answer"), queued)
            env = dict(ENV, PATH=self.path("bin") + os.pathsep + os.environ["PATH"],
                       SQUEUE_ANSWER=answer)
            result = tool("tbxsweep", "status", "s", cwd=self.dir, env=env)
            self.assertIn(state, result.stdout)


if __name__ == "__main__":
    unittest.main()
