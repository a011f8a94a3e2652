#!/usr/bin/env python3
"""The folders of src/ form one-way layers: a folder includes only folders
below it, so that the engine can be taken without the program around it.
The public headers (include/tbxrun) include nothing of src/; inside src/
only the interface and the program above it include the interface's
functions, while the summary's data header is a leaf that any layer may use.
"""
import os
import re
import unittest

ROOT = os.environ.get("TBX_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
# Bottom to top; a folder may include itself and the folders before it.
LAYERS = ["core", "files", "prob", "model", "engine", "summary", "input", "check", "report", "api", "cli"]
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)
LEAF_DATA = "tbxrun/summary.hpp"


def includes(folder):
    for root, _, files in os.walk(folder):
        for name in files:
            if name.endswith((".cpp", ".hpp", ".in")):
                path = os.path.join(root, name)
                with open(path, encoding="utf-8") as f:
                    for target in INCLUDE.findall(f.read()):
                        yield os.path.relpath(path, ROOT), target


class Layers(unittest.TestCase):
    def test_no_folder_includes_one_above_it(self):
        wrong = []
        for path, target in includes(os.path.join(ROOT, "src")):
            here = path.split(os.sep)[1]
            there = target.split("/")[0]
            self.assertIn(here, LAYERS, f"{path}: a folder of src/ that no layer names")
            if there == "tbxrun":
                if target != LEAF_DATA and LAYERS.index(here) < LAYERS.index("api"):
                    wrong.append(f"{path} -> {target}")
                continue
            if "/" not in target:
                continue  # beside the including file
            self.assertIn(there, LAYERS, f"{path} -> {target}")
            if LAYERS.index(there) > LAYERS.index(here):
                wrong.append(f"{path} -> {target}")
        self.assertEqual(wrong, [], "includes of a higher layer")

    def test_public_headers_stand_alone(self):
        for path, target in includes(os.path.join(ROOT, "include")):
            self.assertTrue(target.startswith("tbxrun/"), f"{path} -> {target}")


if __name__ == "__main__":
    unittest.main()
