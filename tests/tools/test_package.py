"""The Debian package builds with cpack and carries the program, scripts and manual page.

Skipped without dpkg-deb.
"""

import glob
import os
import re
import unittest

from tooltest import BUILD_DIR, TempDirTest, run, skip_all_unless

CPACK = os.environ.get("CPACK_COMMAND", "cpack")


class PackageTest(TempDirTest):

    def test_package_contents_and_control_fields(self):
        run([CPACK, "-G", "DEB", "-B", self.dir], cwd=BUILD_DIR)
        debs = glob.glob(self.path("tbxrun_*.deb"))
        self.assertEqual(len(debs), 1, os.listdir(self.dir))
        listing = run(["dpkg-deb", "--contents", debs[0]]).stdout
        for path in ("./usr/bin/tbxrun", "./usr/bin/tbxplot", "./usr/bin/tbxcollect",
                     "./usr/share/man/man1/tbxrun.1",
                     "./usr/share/doc/tbxrun/examples/splash_zone.dat"):
            self.assertRegex(listing, rf"(?m)^-rw\S+ .* {re.escape(path)}$"
                             if "/bin/" not in path else rf"(?m)^-rwxr-xr-x .* {re.escape(path)}$")
        fields = run(["dpkg-deb", "--field", debs[0], "Package", "Version", "Depends"]).stdout
        with open(os.path.join(BUILD_DIR, "CMakeCache.txt")) as f:
            version = re.search(r"^CMAKE_PROJECT_VERSION:STATIC=(\S+)$", f.read(), re.M)
        self.assertIn("Package: tbxrun", fields)
        if version:
            self.assertIn(f"Version: {version.group(1)}", fields)
        self.assertRegex(fields, r"Depends: .*python3")


if __name__ == "__main__":
    skip_all_unless("dpkg-deb")
    unittest.main()
