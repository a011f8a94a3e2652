"""The Debian package builds with one command and carries the program, scripts and manual page.

Builds in a build tree of its own, as a user would, so that the shared build
tree is left alone. Skipped without dpkg-deb.
"""

import glob
import os
import re
import unittest

from tooltest import SOURCE_DIR, TempDirTest, run, skip_all_unless

CMAKE = os.environ.get("CMAKE_COMMAND", "cmake")


class PackageTest(TempDirTest):

    def test_package_contents_and_control_fields(self):
        build = self.path("build")
        run([CMAKE, "-S", SOURCE_DIR, "-B", build, "-DTBX_BUILD_TESTS=OFF"])
        run([CMAKE, "--build", build, "--target", "package", "-j", str(os.cpu_count() or 2)])
        debs = glob.glob(os.path.join(build, "tbxrun_*.deb"))
        self.assertEqual(len(debs), 1, os.listdir(build))

        listing = run(["dpkg-deb", "--contents", debs[0]]).stdout
        for program in ("tbxrun", "tbxplot", "tbxcollect", "tbxsweep"):
            self.assertRegex(listing, rf"(?m)^-rwxr-xr-x .* \./usr/bin/{program}$")
        for doc in ("man/man1/tbxrun.1", "man/man1/tbxplot.1", "man/man1/tbxcollect.1",
                    "man/man1/tbxsweep.1", "tbxrun/tbxseries.py",
                    "doc/tbxrun/README.md", "doc/tbxrun/copyright",
                    "doc/tbxrun/examples/splash_zone.dat", "doc/tbxrun/examples/splash_zone.png"):
            self.assertRegex(listing, rf"(?m)^-rw-r--r-- .* \./usr/share/{re.escape(doc)}$")

        fields = run(["dpkg-deb", "--field", debs[0], "Package", "Version", "Depends",
                      "Maintainer"]).stdout
        with open(os.path.join(SOURCE_DIR, "CMakeLists.txt")) as f:
            version = re.search(r"project\(tbxrun VERSION (\S+)", f.read()).group(1)
        self.assertIn("Package: tbxrun\n", fields)
        self.assertIn(f"Version: {version}\n", fields)
        self.assertRegex(fields, r"Depends: .*python3")
        self.assertRegex(fields, r"Depends: .*libc6")
        self.assertRegex(fields, r"Maintainer: tbxrun maintainers <[^@\s]+@[^>\s]+>\n")

        unpacked = self.path("unpacked")
        run(["dpkg-deb", "--extract", debs[0], unpacked])
        with open(os.path.join(unpacked, "usr", "share", "doc", "tbxrun", "copyright")) as f:
            copyright_text = f.read()
        with open(os.path.join(SOURCE_DIR, "LICENSE")) as f:
            self.assertIn(f.read(), copyright_text)


if __name__ == "__main__":
    skip_all_unless("dpkg-deb")
    unittest.main()
