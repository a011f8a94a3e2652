#!/usr/bin/env python3
"""A cover study in memory: the service life of a job for a mean cover of 40
to 90 mm, and the least of these covers that reaches 50 years.

    python3 cover_study.py [JOB.toml]     # default: ../fib_splash_zone.toml

Each cover is a copy of the job's text with the mean of its cover `a`
changed; nothing is written to disk.
"""

import math
import os
import re
import sys

import tbxrun

TARGET_YEARS = 50
COVERS = range(40, 95, 5)  # mm

here = os.path.dirname(os.path.abspath(__file__))
job = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "fib_splash_zone.toml")
with open(job) as f:
    text = f.read()
cover_mean = re.compile(r"(?m)^(\[a\][^\[]*?^mean\s*=\s*)[^\s#]+")
if not cover_mean.search(text):
    sys.exit(f"{job}: no [a] table with a mean")

print(f"{os.path.basename(job)}: service life (target index as in the job) by mean cover")
reached = None
for cover in COVERS:
    result = tbxrun.run(cover_mean.sub(rf"\g<1>{cover}", text, count=1), name=os.path.basename(job))
    life = result.summary["service_life"]
    # Not reached within the series: the life is longer than its last time.
    years = math.inf if life["kind"] == "not_reached" else life["years"]
    if years is None:
        sys.exit(f"{cover} mm: no service life: {life['reason']}")
    print(f"{cover:4d} mm  {years:7.1f} years" if years < math.inf else
          f"{cover:4d} mm  beyond {result.times[-1]:g} years")
    if reached is None and years >= TARGET_YEARS:
        reached = cover

if reached is None:
    print(f"No cover up to {COVERS[-1]} mm reaches {TARGET_YEARS} years")
else:
    print(f"A cover of {reached} mm reaches {TARGET_YEARS} years")
