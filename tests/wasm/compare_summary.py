#!/usr/bin/env python3
"""Compares the summary files (JSON and CSV) of the WebAssembly program with the native program's.

Failure counts and every text must be equal; other numbers may differ by at most MAX_ULP units in
the last place (the maths libraries differ in the last bits of erfc, sin, exp, ...). FORM's
results come from an iteration on numerical derivatives, which magnify those last bits: they
may differ by FORM_TOLERANCE x max(1, |value|), far below the tolerance the iteration stops at.
The "run" identifier is a digest of the results and the CRC-32 of a report holds it; both
differ whenever a number does, and are not compared (the caller compares the reports).
Prints the largest differences and the count of numbers that differ; exit status 1 on a
mismatch.
    compare_summary.py MAX_ULP NATIVE_SUMMARY.json WASM_SUMMARY.json [NATIVE.csv WASM.csv]
"""

import csv
import json
import math
import struct
import sys

IGNORED = {"run", "crc32"}
EXACT = {"failures"}
FORM_TOLERANCE = 1e-9


def ordered(x):
    """The double as an integer in the order of the doubles, so that neighbours differ by 1."""
    (bits,) = struct.unpack("<q", struct.pack("<d", x))
    return bits if bits >= 0 else -(bits & 0x7FFFFFFFFFFFFFFF)


def ulp_distance(a, b):
    if a == b or (math.isnan(a) and math.isnan(b)):
        return 0
    if math.isnan(a) or math.isnan(b) or math.isinf(a) or math.isinf(b):
        return math.inf
    return abs(ordered(a) - ordered(b))


class Comparison:
    def __init__(self, max_ulp):
        self.max_ulp = max_ulp
        self.largest = 0
        self.largest_at = ""
        self.largest_form = 0.0
        self.largest_form_at = ""
        self.numbers = 0
        self.differing = 0
        self.faults = []

    def number(self, where, key, a, b):
        self.numbers += 1
        if key in EXACT:
            if a != b:
                self.faults.append(f"{where}: {a} != {b}")
            return
        d = ulp_distance(float(a), float(b))
        if d == 0:
            return
        self.differing += 1
        if where.startswith("json.form."):
            scaled = abs(a - b) / max(1.0, abs(a))
            if scaled > self.largest_form:
                self.largest_form, self.largest_form_at = scaled, f"{where}: {a!r} vs {b!r}"
            if not scaled <= FORM_TOLERANCE:
                self.faults.append(f"{where}: {a!r} vs {b!r} ({scaled:.2g} x max(1, |value|))")
            return
        if d > self.largest:
            self.largest, self.largest_at = d, f"{where}: {a!r} vs {b!r}"
        if d > self.max_ulp:
            self.faults.append(f"{where}: {a!r} vs {b!r} ({d} ulp)")

    def value(self, where, key, a, b):
        if key in IGNORED:
            return
        numeric = (int, float)
        if isinstance(a, numeric) and isinstance(b, numeric) and not isinstance(a, bool) \
                and not isinstance(b, bool):
            self.number(where, key, a, b)
        elif isinstance(a, dict) and isinstance(b, dict):
            if a.keys() != b.keys():
                self.faults.append(f"{where}: keys {sorted(a)} != {sorted(b)}")
                return
            for k in a:
                self.value(f"{where}.{k}", k, a[k], b[k])
        elif isinstance(a, list) and isinstance(b, list):
            if len(a) != len(b):
                self.faults.append(f"{where}: {len(a)} items != {len(b)}")
                return
            for i, (x, y) in enumerate(zip(a, b)):
                self.value(f"{where}[{i}]", key, x, y)
        elif a != b:
            self.faults.append(f"{where}: {a!r} != {b!r}")

    def csv_cell(self, where, key, a, b):
        if key in IGNORED or a == b:
            if key in EXACT or (a == b and a != "" and is_number(a)):
                self.numbers += 1
            return
        if is_number(a) and is_number(b):
            self.number(where, key, int(a) if key in EXACT else float(a),
                        int(b) if key in EXACT else float(b))
        else:
            self.faults.append(f"{where}: {a!r} != {b!r}")


def is_number(text):
    try:
        float(text)
        return True
    except ValueError:
        return False


def compare_csv(comparison, native_path, wasm_path):
    with open(native_path, newline="") as f:
        native = list(csv.reader(f))
    with open(wasm_path, newline="") as f:
        wasm = list(csv.reader(f))
    if len(native) != len(wasm) or native[:2] != wasm[:2]:
        comparison.faults.append(f"{wasm_path}: rows or header differ")
        return
    header = native[0]
    for r, (a_row, b_row) in enumerate(zip(native[2:], wasm[2:]), start=3):
        if len(a_row) != len(b_row):
            comparison.faults.append(f"{wasm_path} row {r}: {len(a_row)} cells != {len(b_row)}")
            continue
        for key, a, b in zip(header, a_row, b_row):
            comparison.csv_cell(f"csv row {r} {key}", key, a, b)


def main(argv):
    max_ulp = int(argv[1])
    comparison = Comparison(max_ulp)
    with open(argv[2]) as f:
        native = json.load(f)
    with open(argv[3]) as f:
        wasm = json.load(f)
    comparison.value("json", "", native, wasm)
    if len(argv) > 5:
        compare_csv(comparison, argv[4], argv[5])
    print(f"{comparison.numbers} numbers, {comparison.differing} differ; largest {comparison.largest} ulp"
          + (f" ({comparison.largest_at})" if comparison.largest else ""))
    if comparison.largest_form:
        print(f"  FORM: largest {comparison.largest_form:.2g} x max(1, |value|) ({comparison.largest_form_at})")
    for fault in comparison.faults[:20]:
        print("  MISMATCH " + fault)
    return 1 if comparison.faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
