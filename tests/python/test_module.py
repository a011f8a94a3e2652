"""The Python module against the program: the same numbers, findings and files.

Run by ctest with Debian's python3 and PYTHONPATH at the built package
(python/CMakeLists.txt).
"""

import concurrent.futures
import json
import math
import os
import re
import signal
import sys
import time
import unittest

import numpy

sys.path.insert(0, os.path.join(os.environ["TBX_SOURCE_DIR"], "tests", "tools"))
from tooltest import BUILD_DIR, EXAMPLES_DIR, TBXRUN, TempDirTest, read_bytes, run  # noqa: E402

import tbxrun  # noqa: E402

# Written files carry the date; both sides take it from here.
os.environ["SOURCE_DATE_EPOCH"] = "0"


def example(name):
    with open(os.path.join(EXAMPLES_DIR, name)) as f:
        return f.read()


def changed(text, old, new):
    assert old in text, old
    return text.replace(old, new, 1)


def check_blocks(output):
    """The findings of `tbxrun --check` output: (line, severity, block text)."""
    blocks = []
    for line in output.splitlines():
        head = re.match(r"[^:\s]+(?::(\d+))?: (error|warning): ", line)
        if head:
            blocks.append([int(head.group(1) or 0), head.group(2), line])
        elif line.startswith("    ") and blocks:
            blocks[-1][2] += "\n" + line
    return [tuple(b) for b in blocks]


class RunTest(TempDirTest):

    def program_files(self, file_name, text):
        """Runs the program on the job; returns {file name: bytes} of what it wrote."""
        folder = self.path("program-" + file_name)
        os.mkdir(folder)
        with open(os.path.join(folder, file_name), "w") as f:
            f.write(text)
        run([TBXRUN, "--summary", file_name], cwd=folder)
        return {n: read_bytes(os.path.join(folder, n)) for n in os.listdir(folder) if n != file_name}

    def test_run_gives_the_program_numbers_and_files(self):
        # A classic job loaded by its name, a fib job given as text.
        cases = [("splash_zone.dat", True), ("fib_splash_zone.toml", False)]
        for file_name, by_path in cases:
            with self.subTest(job=file_name):
                text = changed(example(file_name), "12345", "2718")  # a seed of its own
                files = self.program_files(file_name, text)
                expected = json.loads(files[file_name.rsplit(".", 1)[0] + "_summary.json"])
                if by_path:
                    # By the name the program was given: the classic report prints it.
                    os.chdir(self.path("program-" + file_name))
                    try:
                        result = tbxrun.run(file_name[:-4], threads=2)
                    finally:
                        os.chdir(self.dir)
                else:
                    result = tbxrun.run(text, name=file_name, threads=2)

                points = expected["time_points"]
                self.assertEqual(result.times.tolist(), [p["t"] for p in points])
                self.assertEqual(result.failures.tolist(), [p["failures"] for p in points])
                numpy.testing.assert_array_equal(result.pf, result.failures / expected["nsim"])
                numpy.testing.assert_allclose(result.pf * 100, [p["pf"] for p in points], rtol=1e-15)
                numpy.testing.assert_allclose(result.pf_low * 100, [p["pf_low"] for p in points], rtol=1e-15)
                numpy.testing.assert_allclose(result.pf_high * 100, [p["pf_high"] for p in points], rtol=1e-15)
                # The summary writes no infinite index; pf 0 is +inf here.
                beta = [math.inf if p["beta"] is None and p["failures"] == 0 else p["beta"] for p in points]
                self.assertEqual(result.beta.tolist(), beta)
                # The summary of the run is the file's, but for the stamps of the reports written.
                stamps = ("run", "reports")
                self.assertEqual({k: v for k, v in result.summary.items() if k not in stamps},
                                 {k: v for k, v in expected.items() if k not in stamps})

                folder = self.path("module-" + file_name)
                os.mkdir(folder)
                result.write(folder)
                self.assertEqual(sorted(os.listdir(folder)), sorted(files))
                for name, content in files.items():
                    self.assertTrue(read_bytes(os.path.join(folder, name)) == content, name)

    def test_runs_in_threads_at_once_agree_with_one_alone(self):
        jobs = [os.path.join(EXAMPLES_DIR, name) for name in ("splash_zone", "fib_splash_zone")] * 2
        alone = [tbxrun.run(job, threads=1).failures.tolist() for job in jobs[:2]] * 2
        with concurrent.futures.ThreadPoolExecutor(len(jobs)) as pool:
            together = list(pool.map(lambda job: tbxrun.run(job, threads=2).failures.tolist(), jobs))
        self.assertEqual(together, alone)

    def test_ctrl_c_cancels_the_run(self):
        seen = []

        def interrupt(progress):
            seen.append(progress.point)
            if progress.point == 2:
                os.kill(os.getpid(), signal.SIGINT)

        job = changed(example("splash_zone.dat"), "10000 ;", "200000 ;")
        before = sorted(os.listdir(self.dir))
        with self.assertRaises(KeyboardInterrupt):
            tbxrun.run(job, name="splash_zone.dat", progress=interrupt)
        self.assertLess(max(seen), 4, "the run went on after Ctrl-C")
        self.assertEqual(sorted(os.listdir(self.dir)), before)
        # An exception of the progress callable ends the run the same way.
        with self.assertRaisesRegex(ZeroDivisionError, "division"):
            tbxrun.run(job, name="splash_zone.dat", progress=lambda p: 1 / 0)

    def test_writing_leaves_ctrl_c_to_python(self):
        tbxrun.run(os.path.join(EXAMPLES_DIR, "tidal_zone")).write(self.dir)
        with self.assertRaises(KeyboardInterrupt):
            os.kill(os.getpid(), signal.SIGINT)
            time.sleep(5)

    def test_errors_carry_kind_and_finding(self):
        job = example("splash_zone.dat")
        cases = [
            (lambda: tbxrun.run(self.path("no_such_job")), "not_found", 0),
            (lambda: tbxrun.run(changed(job, "10000 ;", "10x00 ;"), name="j.dat"), "invalid_job", 50),
            (lambda: tbxrun.run(job, name="j.dat", design_life=250), "usage", 0),
        ]
        for call, kind, line in cases:
            with self.subTest(kind=kind):
                with self.assertRaises(tbxrun.Error) as caught:
                    call()
                self.assertEqual(caught.exception.kind, kind)
                self.assertEqual(caught.exception.finding["line"], line)
                self.assertTrue(str(caught.exception))


class CheckTest(TempDirTest):

    def test_check_gives_the_program_findings(self):
        classic, fib = example("splash_zone.dat"), example("fib_splash_zone.toml")
        cases = [
            ("reader error", "reader.dat", changed(classic, "10000 ;", "10x00 ;")),
            ("warnings", "warnings.dat", changed(classic, "   60.0   1.079", "   6.0    1.079")),
            ("fib error", "fib_error.toml", changed(fib, "sd = 8\n", "sd = -8\n")),
            ("fib warnings", "fib_warnings.toml", changed(fib, "mean = 3.0\n", "mean = 3e-12\n")),
            ("clean", "clean.toml", fib),
        ]
        for what, file_name, text in cases:
            with self.subTest(what):
                with open(self.path(file_name), "w") as f:
                    f.write(text)
                program = run([TBXRUN, "--check", os.path.splitext(file_name)[0]], cwd=self.dir, check=False)
                blocks = check_blocks(program.stdout)
                for findings in (tbxrun.check(text, name=file_name), tbxrun.check(self.path(file_name))):
                    self.assertEqual([(f["line"], f["severity"]) for f in findings],
                                     [(line, severity) for line, severity, _ in blocks])
                    for finding, (_, _, block) in zip(findings, blocks):
                        for key in ("field", "value", "message", "expected", "fix"):
                            self.assertIn(finding[key], block, key)
                        self.assertEqual(finding["file"], file_name)
                self.assertEqual(program.returncode, 1 if "error" in what else 3 if blocks else 0)


class PackageTest(TempDirTest):

    def test_installed_module_and_example(self):
        prefix = self.path("prefix")
        run([os.environ.get("CMAKE_COMMAND", "cmake"), "--install", BUILD_DIR, "--prefix", prefix])
        env = dict(os.environ, PYTHONPATH=os.path.join(prefix, "lib", "python3", "dist-packages"))
        script = os.path.join(prefix, "share", "doc", "tbxrun", "examples", "python", "cover_study.py")
        study = run([sys.executable, script], env=env, cwd=self.dir)
        self.assertRegex(study.stdout, r"(?m)^A cover of \d+ mm reaches 50 years")
        self.assertEqual(os.listdir(self.dir), ["prefix"], "the study wrote files")


if __name__ == "__main__":
    unittest.main()
