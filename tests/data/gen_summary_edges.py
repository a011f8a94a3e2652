#!/usr/bin/env python3
# Regenerate with:  python3 tests/data/gen_summary_edges.py   (from the repository root;
# needs python3-mpmath). Writes tests/data/summary_time_points.inc and
# tests/data/summary_design_cover.inc.
#
# The summary's statistics where they have closed forms, computed with mpmath
# at 50 significant digits and rounded once to double:
# - per time point with k failures of n: the standard error
#   100 sqrt(p (1 - p) / n), beta = -Phi^-1(p), and at k = 0 and k = n the
#   exact 95 % Clopper-Pearson bound 1 - 0.025^(1/n) or 0.025^(1/n) with
#   its beta; "NAN" where the bound has no closed form (checked elsewhere);
# - the design cover of a normal cover where every simulation has the same
#   load S: Pf = Phi((S - mean) / sd), so mean = S - sd Phi^-1(Pf).

import mpmath

from table_io import d, write

mpmath.mp.dps = 50
mp = mpmath.mpf


def phi_inverse(p):
    p = mp(p)
    if p == 0:
        return -mpmath.inf
    if p == 1:
        return mpmath.inf
    if p == 0.5:
        return mp(0)
    if p > 0.5:
        return -phi_inverse(1 - p)
    lo, hi = mp(-40), mp(0)
    for _ in range(400):
        mid = (lo + hi) / 2
        if mpmath.ncdf(mid) < p:
            lo = mid
        else:
            hi = mid
    return (lo + hi) / 2


def num(v):
    if v == mpmath.inf:
        return "INFINITY"
    if v == -mpmath.inf:
        return "-INFINITY"
    return d(v)


tail = mp(1) / 40
rows = []
for k, n in [(0, 1), (0, 10), (10, 10), (0, 1000), (1000, 1000), (0, 100000), (100000, 100000), (0, 10000000),
             (10000000, 10000000), (1, 3), (37, 1000), (500, 1000), (999, 1000), (12345, 1000000)]:
    p = mp(k) / n
    se = 100 * mpmath.sqrt(p * (1 - p) / n)
    beta = -phi_inverse(p)
    low = high = beta_low = beta_high = "NAN"
    if k == 0:
        h = 1 - tail ** (mp(1) / n)
        low, high, beta_low, beta_high = d(0), d(100 * h), num(-phi_inverse(h)), "INFINITY"
    if k == n:
        lo = tail ** (mp(1) / n)
        # beta_high = -Phi^-1 of a bound next to 1, which as a double keeps
        # only its absolute precision: not compared.
        low, high, beta_low, beta_high = d(100 * lo), d(100), "-INFINITY", "NAN"
    rows.append((str(k), str(n), d(se), num(beta), low, high, beta_low, beta_high))
write("summary_time_points.inc", "{k, n, pf_se, beta, pf_low, pf_high, beta_low, beta_high} (percent)", rows)

rows = []
for s, sd, pf in [(40.0, 6.0, 0.0968004845856103), (55.5, 8.0, 0.5), (30.0, 3.0, 1e-4), (72.25, 10.0, 0.3),
                  (1e-3, 5.0, 0.05)]:
    rows.append((repr(s), repr(sd), repr(pf), d(mp(s) - mp(sd) * phi_inverse(pf))))
write("summary_design_cover.inc", "{S, sd, Pf, mean cover with Pf = Phi((S - mean) / sd)}", rows)
