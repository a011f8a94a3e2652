"""tbxsweep under faults: hostile job files and folder names, signals, file system errors."""

import os
import resource
import signal
import subprocess
import sys
import time
import unittest

from tooltest import EXAMPLES_DIR, TBXRUN, TOOLS_DIR, TempDirTest, read_bytes, run, tool, write

BASE = os.path.join(EXAMPLES_DIR, "splash_zone")
TOML_BASE = os.path.join(EXAMPLES_DIR, "fib_splash_pier.toml")
TBXSWEEP = os.path.join(TOOLS_DIR, "tbxsweep")

# A tbxrun that knows --no-sync: it notes its command line in $CALLS and writes
# the two reports of the job; asked for --help with $HANG set, it hangs.
FAKE_TBXRUN = f"""#!{sys.executable}
import os, sys, time
if sys.argv[1:] == ["--help"]:
    if os.environ.get("HANG"):
        open(os.environ["HANG"], "w").close()
        time.sleep(60)
    print("  --threads N   threads\\n  --no-sync     leave the sync to the caller")
    sys.exit(0)
with open(os.environ["CALLS"], "a") as f:
    f.write(" ".join(sys.argv[1:]) + "\\n")
for suffix in ("_rs.dat", "_xls.dat"):
    with open(sys.argv[-1] + suffix, "w") as f:
        f.write("x\\n")
"""


class FaultTest(TempDirTest):

    def sweep(self, *args, status=0, env=None):
        result = tool("tbxsweep", *args, cwd=self.dir, env=env or dict(os.environ, TBXRUN=TBXRUN))
        self.assertEqual(result.returncode, status, result.stderr)
        self.assertNotIn("Traceback", result.stderr)
        return result

    def fake_tbxrun(self):
        fake = write(self.path("fake-tbxrun"), FAKE_TBXRUN)
        os.chmod(fake, 0o755)
        return dict(os.environ, TBXRUN=fake, CALLS=self.path("calls"))

    def start(self, *args, env=None, **popen_args):
        return subprocess.Popen([sys.executable, TBXSWEEP, *args], cwd=self.dir,
                                env=env or dict(os.environ, TBXRUN=TBXRUN), text=True,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, **popen_args)

    def wait_for(self, predicate):
        deadline = time.monotonic() + 60
        while not predicate():
            self.assertLess(time.monotonic(), deadline)
            time.sleep(0.02)

    def tbxruns_here(self):
        """The tbxrun processes that run in a folder of this test."""
        found = []
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                if os.readlink(f"/proc/{pid}/cwd").startswith(self.dir + "/") and \
                        os.readlink(f"/proc/{pid}/exe") == os.path.realpath(TBXRUN):
                    found.append(pid)
            except OSError:
                pass
        return found


class NestingTest(FaultTest):

    def test_a_base_nested_too_deep_is_refused_before_it_is_read(self):
        with open(TOML_BASE) as f:
            base = f.read()
        deep = {"key": "a" + ".a" * 40000 + " = 1\n", "header": "[" + "a." * 40000 + "a]\n",
                "lists": "x = " + "[" * 40000 + "]" * 40000 + "\n",
                "inline tables": "x = " + "{a=" * 40000 + "1" + "}" * 40000 + "\n"}
        line = base.count("\n") + 1
        for what, text in deep.items():
            with self.subTest(what=what):
                write(self.path("deep.toml"), base + text)
                result = self.sweep("new", "deep.toml", "s", "--vary", "a.mean=40", status=1)
                self.assertEqual(result.stderr, f"tbxsweep: deep.toml:{line}: tables, keys or "
                                 "lists nested more than 32 levels deep; a job needs two\n")
                self.assertEqual(os.listdir(self.dir), ["deep.toml"])
        # Brackets, points and quotes in strings and comments are no nesting.
        brackets = "[" * 40
        odd = (f"# {brackets} a.b.c.d.e.f.g\n" +
               base.replace('title = "', f'title = "{brackets} \\"{{{{', 1))
        write(self.path("odd.toml"), odd)
        self.sweep("new", "odd.toml", "s", "--vary", "a.mean=40")
        job = read_bytes(self.path("s", "cover-40", "cover-40.toml")).decode()
        self.assertEqual(job.count("["), odd.count("["))


class CheckerTest(FaultTest):

    def test_new_believes_tbxrun_and_refuses_when_it_cannot_answer(self):
        warning = ('{"severity": "warning", "file": "f", "line": 3, "field": "xc", "value": "9", '
                   '"expected": "10 to 200", "fix": "", "message": "implausible"}')
        answers = {
            "warns": ("for name in sys.argv[sys.argv.index('--') + 1:]:\n"
                      f"    print('{{\"status\": 3, \"findings\": [{warning}]}}')\n"
                      "sys.exit(3)", 0, "warns: tbxrun --check warns of 1 job, first cover-9: line 3: "
                      "xc = 9: implausible (expected: 10 to 200)\n"),
            "older": ("print('tbxrun: unknown option', file=sys.stderr)\nsys.exit(2)", 1,
                      "gave no answer (exit status 2: tbxrun: unknown option): is it older"),
            "crash": ("print('{\"status\": 0')\nsys.exit(0)", 1, "gave no answer (exit status 0)"),
        }
        for what, (body, status, message) in answers.items():
            with self.subTest(what=what):
                fake = write(self.path("fake"), f"#!{sys.executable}\nimport sys\n{body}\n")
                os.chmod(fake, 0o755)
                result = self.sweep("new", BASE, what, "--vary", "xc.mean=9", status=status,
                                    env=dict(os.environ, TBXRUN=fake))
                self.assertIn(message, result.stderr)
                self.assertEqual(os.path.exists(self.path(what)), status == 0)
                self.assertEqual([n for n in os.listdir(self.dir) if n.startswith(".")], [])
        result = self.sweep("new", BASE, "t", "--vary", "xc.mean=9", status=1,
                            env=dict(os.environ, TBXRUN="", PATH="/nonexistent"))
        self.assertIn("tbxrun not found", result.stderr)


class SlurmQuotingTest(FaultTest):

    def test_odd_folder_names_are_quoted_and_control_characters_refused(self):
        odd = "s p'a\"c $(touch pwned) `touch pwned` #%a\\"
        self.sweep("new", BASE, odd, "--vary", "xc.mean=40", "--vary", "nsim=500")
        tasks = self.sweep("slurm", odd).stdout.split()[-1]
        script = self.path(odd, "slurm", "tbxsweep.sbatch")
        with open(script) as f:
            directives = [line for line in f if line.startswith("#SBATCH")]
        for line in directives:
            self.assertRegex(line, r"^#SBATCH --[a-z-]+=[A-Za-z0-9._+%-]+\n$")
        env = dict(os.environ, SLURM_ARRAY_TASK_ID="1", SLURM_CPUS_PER_TASK="1")
        run(["bash", script, tasks], cwd=self.dir, env=env)
        self.assertIn("1 done", self.sweep("status", odd).stdout)
        self.assertNotIn("pwned", os.listdir(self.dir))

        result = self.sweep("slurm", odd, "--sbatch-option", "--time=1\nrm -rf ~", status=1)
        self.assertIn("tbxsweep: --sbatch-option '--time=1\\nrm -rf ~' holds the control "
                      "character '\\n', which cannot be written safely into a script: rename it",
                      result.stderr)
        os.rename(self.path(odd), self.path("line\nend"))
        for command in ("slurm", "plot"):  # the plot's gnuplot script names the folder too
            result = self.sweep(command, "line\nend", status=1)
            self.assertIn(f"tbxsweep: the study folder {self.path('line')!r}"[:-1] +
                          "\\nend' holds", result.stderr)


class SignalTest(FaultTest):

    def test_a_signal_goes_on_to_the_running_jobs_which_are_waited_for(self):
        self.sweep("new", BASE, "s", "--vary", "xc.mean=40,50,60", "--vary", "nsim=1000000")
        names = ["cover-40_nsim-1000000", "cover-50_nsim-1000000", "cover-60_nsim-1000000"]
        logs = [self.path("s", n, n + ".log") for n in names]
        for signum, name in ((signal.SIGTERM, "SIGTERM"), (signal.SIGINT, "SIGINT")):
            with self.subTest(signal=name):
                for log in filter(os.path.exists, logs):
                    os.unlink(log)
                p = self.start("run", "-j", "2", "s")
                self.wait_for(lambda: len(self.tbxruns_here()) == 2)
                p.send_signal(signum)
                _, err = p.communicate(timeout=60)
                self.assertEqual(p.returncode, 128 + signum, err)
                self.assertIn("interrupted: run 'tbxsweep run s' again to go on", err)
                self.assertNotIn("Traceback", err)
                self.assertEqual(self.tbxruns_here(), [])
                for log in logs[:2]:
                    with open(log) as f:
                        self.assertEqual(f.read().splitlines()[-1],
                                         f"# tbxsweep: exit status {128 + signum}")
                self.assertFalse(os.path.exists(logs[2]))  # never started
                status = self.sweep("status", "s").stdout
                self.assertIn("0 done, 0 running, 0 failed, 2 interrupted, 1 waiting", status)
                self.assertIn(f"interrupted: {names[0]}: stopped by {name}", status)

    def test_ctrl_c_while_starting_ends_with_a_message(self):
        env = dict(self.fake_tbxrun(), HANG=self.path("asked"))
        self.sweep("new", BASE, "s", "--vary", "xc.mean=40")
        p = self.start("run", "s", env=env)
        self.wait_for(lambda: os.path.exists(self.path("asked")))
        p.send_signal(signal.SIGINT)
        _, err = p.communicate(timeout=60)
        self.assertEqual((p.returncode, err), (130, "tbxsweep: interrupted\n"))


class FileSystemFaultTest(FaultTest):

    def test_a_log_that_cannot_be_written_fails_its_job_with_the_reason(self):
        self.sweep("new", BASE, "s", "--vary", "xc.mean=40,60", "--vary", "nsim=500")
        log = self.path("s", "cover-40_nsim-500", "cover-40_nsim-500.log")
        os.mkdir(log)
        result = self.sweep("run", "s", status=1)
        self.assertIn(f"failed: cover-40_nsim-500: s/cover-40_nsim-500/cover-40_nsim-500.log: "
                      "Is a directory\n", result.stderr)
        self.assertIn("1 done, 0 running, 0 failed", self.sweep("status", "s").stdout)
        os.rmdir(log)

        # A full disk (here: a file size limit of 0): no log is left without its first line,
        # and no job counts as running.
        os.utime(self.path("s", "cover-60_nsim-500", "cover-60_nsim-500.dat"))
        p = self.start("run", "s", preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_FSIZE,
                                                                         (0, 0)))
        _, err = p.communicate(timeout=60)
        self.assertEqual(p.returncode, 1, err)
        self.assertNotIn("Traceback", err)
        for name in ("cover-40_nsim-500", "cover-60_nsim-500"):
            self.assertIn(f"failed: {name}: s/{name}/{name}.log: File too large\n", err)
            self.assertFalse(os.path.exists(self.path("s", name, name + ".log")))
        self.assertIn("0 done, 0 running, 0 failed, 2 waiting", self.sweep("status", "s").stdout)
        # A log left empty by another writer is no run in progress.
        write(log, "")
        self.assertIn("interrupted: cover-40_nsim-500: its log has no first line",
                      self.sweep("status", "s").stdout)

    @unittest.skipIf(os.geteuid() != 0, "needs root for a read-only bind mount")
    def test_a_read_only_job_folder_fails_its_job_with_the_reason(self):
        self.sweep("new", BASE, "s", "--vary", "xc.mean=40,60", "--vary", "nsim=500")
        folder = self.path("s", "cover-40_nsim-500")
        command = (f'mount --bind "$1" "$1" && mount -o remount,bind,ro "$1" && '
                   f'exec "{sys.executable}" "{TBXSWEEP}" run s')
        result = run(["unshare", "-m", "sh", "-c", command, "sh", folder], cwd=self.dir,
                     env=dict(os.environ, TBXRUN=TBXRUN), check=False)
        if "mount" in result.stderr or "unshare" in result.stderr:
            self.skipTest(f"no read-only bind mount here: {result.stderr.strip()}")
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertNotIn("Traceback", result.stderr)
        self.assertIn("failed: cover-40_nsim-500: s/cover-40_nsim-500/cover-40_nsim-500.log: "
                      "Read-only file system\n", result.stderr)


class NoSyncTest(FaultTest):

    def test_runs_leave_their_sync_to_one_at_the_end_unless_asked(self):
        env = self.fake_tbxrun()
        self.sweep("new", BASE, "s", "--vary", "xc.mean=40")
        job = self.path("s", "cover-40", "cover-40.dat")
        for args, expected in (([], "--threads 1 --no-sync cover-40\n"),
                               (["--sync-each-run"], "--threads 1 cover-40\n")):
            with self.subTest(args=args):
                write(self.path("calls"), "")
                os.utime(job)
                self.sweep("run", "s", *args, env=env)
                self.assertEqual(read_bytes(self.path("calls")).decode(), expected)
                self.sweep("slurm", "s", *args, env=env)
                with open(self.path("s", "slurm", "tbxsweep.sbatch")) as f:
                    script = f.read()
                self.assertEqual("--no-sync" in script, not args)
                self.assertEqual("\nsync -f . " in script, not args)


if __name__ == "__main__":
    unittest.main()
