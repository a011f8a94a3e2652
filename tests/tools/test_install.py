"""cmake --install into a temporary prefix gives a working program, scripts and manual page."""

import os
import shutil
import subprocess
import unittest

from tooltest import BUILD_DIR, EXAMPLES_DIR, TempDirTest, read_bytes, run

CMAKE = os.environ.get("CMAKE_COMMAND", "cmake")


class InstallTest(TempDirTest):

    def setUp(self):
        super().setUp()
        self.prefix = self.path("prefix")
        run([CMAKE, "--install", BUILD_DIR, "--prefix", self.prefix])

    def installed(self, *parts):
        return os.path.join(self.prefix, *parts)

    def test_files_land_in_the_usual_places(self):
        for program in ("tbxrun", "tbxplot", "tbxcollect", "tbxsweep"):
            path = self.installed("bin", program)
            self.assertTrue(os.access(path, os.X_OK), path)
        for doc in (("share", "man", "man1", "tbxrun.1"),
                    ("share", "man", "man1", "tbxplot.1"),
                    ("share", "man", "man1", "tbxcollect.1"),
                    ("share", "man", "man1", "tbxsweep.1"),
                    ("share", "doc", "tbxrun", "copyright"),
                    ("share", "doc", "tbxrun", "README.md"),
                    ("share", "doc", "tbxrun", "examples", "splash_zone.dat"),
                    ("share", "doc", "tbxrun", "examples", "splash_zone.png"),
                    ("share", "doc", "tbxrun", "examples", "batch", "jobs.txt")):
            self.assertTrue(os.path.isfile(self.installed(*doc)), os.path.join(*doc))
        self.assertTrue(os.access(self.installed("share", "doc", "tbxrun", "examples", "batch",
                                                 "tbxrun-array.sbatch"), os.X_OK))

    def test_installed_programs_work_on_their_own(self):
        work = self.path("work")
        os.mkdir(work)
        shutil.copy(self.installed("share", "doc", "tbxrun", "examples", "tidal_zone.dat"), work)
        env = dict(os.environ, PATH=self.installed("bin") + os.pathsep + os.environ["PATH"])
        run(["tbxrun", "tidal_zone"], cwd=work, env=env)
        self.assertEqual(read_bytes(os.path.join(work, "tidal_zone_xls.dat")),
                         read_bytes(os.path.join(EXAMPLES_DIR, "tidal_zone_xls.dat")))
        life = run(["tbxplot", "--no-plot", "tidal_zone"], cwd=work, env=env)
        self.assertTrue(life.stdout.startswith("tidal_zone: service life"), life.stdout)
        table = run(["tbxcollect", "tidal_zone"], cwd=work, env=env)
        self.assertEqual(table.stdout.splitlines()[1].split(",")[:2], ["tidal_zone", "50"])
        run(["tbxsweep", "new", "tidal_zone", "s", "--vary", "xc.mean=50,70"], cwd=work, env=env)
        run(["tbxsweep", "run", "s"], cwd=work, env=env)
        self.assertIn("2 done", run(["tbxsweep", "status", "s"], cwd=work, env=env).stdout)

    @unittest.skipIf(shutil.which("man") is None, "man not found")
    def test_installed_manual_page_is_found_by_man(self):
        env = dict(os.environ, MANPATH=self.installed("share", "man"), MANPAGER="cat",
                   MANWIDTH="80")
        for page in ("tbxrun", "tbxplot", "tbxcollect"):
            result = subprocess.run(["man", page], env=env, text=True, capture_output=True)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertIn("EXIT STATUS", result.stdout)


if __name__ == "__main__":
    unittest.main()
