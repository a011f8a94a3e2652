"""tbxplot's pictures: drawn by gnuplot for series, single points and undefined values.

Skipped when gnuplot is missing (Debian: apt-get install gnuplot-nox).
"""

import os
import unittest
import xml.etree.ElementTree as ET

from tooltest import TempDirTest, beta_series, skip_all_unless, tool, write, xls_text

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def svg_text(path):
    """All text of an SVG file, one string."""
    return " ".join(t.strip() for t in ET.parse(path).getroot().itertext() if t.strip())


class DrawingTest(TempDirTest):

    def plot(self, series, *args, name="job", project=None):
        write(self.path(name + "_xls.dat"), xls_text(series))
        if project is not None:
            write(self.path(name + "_rs.dat"), f" \n File name: {name}\nProject name: {project}\n")
        result = tool("tbxplot", *args, self.path(name))
        self.assertEqual(result.returncode, 0, result.stderr)
        return result

    def assert_png(self, path):
        with open(path, "rb") as f:
            self.assertEqual(f.read(8), PNG_SIGNATURE)

    def test_series_gives_png_and_svg_with_labels_units_and_the_service_life(self):
        self.plot(beta_series((10, 2.0), (20, 1.0), (30, 0.5)), project="Pier 3 - splash zone")
        self.assert_png(self.path("job.png"))
        text = svg_text(self.path("job.svg"))
        for label in ("job: Pier 3 - splash zone", "Time of exposure t [years]",
                      "Probability of corrosion initiation Pf [%]", "Reliability index β [-]",
                      "Pf ± 1 standard error", "service life 17.0 years (β = 1.3)",
                      "target β = 1.3"):
            self.assertIn(label, text)

    def test_the_target_option_moves_the_mark(self):
        self.plot(beta_series((10, 3.0), (20, 2.0)), "-b", "2.5", "-f", "svg")
        self.assertIn("service life 15.0 years (β = 2.5)", svg_text(self.path("job.svg")))

    def test_single_time_point_shows_its_values(self):
        self.plot([["50", "7.310000", "0.002603", "1.533506", "6.257561"]])
        text = svg_text(self.path("job.svg"))
        self.assertIn("Pf = 7.31 % ± 0.26", text)
        self.assertIn("β = 1.534", text)
        self.assertIn("service life beyond the series", text)

    def test_undefined_values_are_drawn_around(self):
        self.plot([["1", "-nan", "-nan", "-nan", "nan"], ["10", "nan", "nan", "nan", "-nan"]])
        self.assert_png(self.path("job.png"))
        self.assertIn("β is not a number at any time point", svg_text(self.path("job.svg")))
        self.plot(beta_series((10, 2.0), (20, "-nan"), (30, "inf"), (40, 1.0)), name="gaps")
        self.assertIn("service life 40.0 years", svg_text(self.path("gaps.svg")))

    def test_titles_with_quotes_and_markup_characters_come_out_verbatim(self):
        self.plot(beta_series((10, 2.0), (20, 1.0)), name="o_brien",
                  project="O'Brien's pier_2 {A}^2 & \"B\"")
        self.assertIn("o_brien: O'Brien's pier_2 {A}^2 & \"B\"", svg_text(self.path("o_brien.svg")))

    def test_a_line_end_in_a_path_is_refused_and_starts_no_gnuplot_command(self):
        write(self.path("job_xls.dat"), xls_text(beta_series((10, 2.0), (20, 1.0))))
        for output in ("x\nsystem('touch ran')", "x\rb"):
            with self.subTest(output=output):
                result = tool("tbxplot", "-o", self.path(output), self.path("job"))
                self.assertEqual(result.returncode, 1)
                self.assertIn("cannot be written into a gnuplot script", result.stderr)
                self.assertEqual(sorted(os.listdir(self.dir)), ["job_xls.dat"])

    def test_format_and_output_options(self):
        self.plot(beta_series((10, 2.0), (20, 1.0)), "--format", "png",
                  "--output", self.path("elsewhere"))
        self.assert_png(self.path("elsewhere.png"))
        self.assertFalse(os.path.exists(self.path("elsewhere.svg")))
        self.assertFalse(os.path.exists(self.path("job.png")))


if __name__ == "__main__":
    skip_all_unless("gnuplot")
    unittest.main()
