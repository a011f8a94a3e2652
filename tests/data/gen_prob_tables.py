#!/usr/bin/env python3
# Regenerate with:  python3 tests/data/gen_prob_tables.py   (from the repository root;
# needs python3-mpmath). Writes the reference tables tests/data/prob_*.inc.
#
# Reference values of erfc, erf^-1, ln Gamma, I_x(a, b) and the beta quantile,
# computed with mpmath at 60 significant digits and rounded once to double.
# Each .inc holds rows "{argument(s), value}," for inclusion inside a C++
# array initialiser. Inputs are printed with Python's repr, which reads back
# as the same double in C++.
#
# prob_pinned*.inc are different: they hold the results of the program's own
# approximations (Cody's erfc and Cody-Hillstrom ln Gamma, erf^-1 with its two
# Newton steps, the normal, lognormal and beta variates, evaluated exactly in
# the order the program uses) computed in Python's IEEE double arithmetic
# with the platform's exp and log (double_eval.py). They pin the last bits of
# the C++ results, which the accuracy tables cannot.

import math
import random

import mpmath

from table_io import d, write

from double_eval import (cody_erfc, cody_log_gamma, erfinv, inverse_beta, lognormal_deviate,
                         normal_deviate)

mpmath.mp.dps = 60
rng = random.Random(1969)


def log_uniform(lo, hi):
    return math.exp(rng.uniform(math.log(lo), math.log(hi)))


# --- erfc: the three ranges of the approximation and their ends -----------
def erfc_points():
    pts = [0.0, 1e-300, 1e-20, 1e-8, 0.25, 0.46875, math.nextafter(0.46875, 0.0),
           math.nextafter(0.46875, 1.0), 0.5, 1.0, 2.0, 3.0, math.nextafter(4.0, 0.0), 4.0,
           math.nextafter(4.0, 5.0), 4.5, 5.0, 10.0, 20.0, 26.0]
    pts += [log_uniform(1e-6, 0.46875) for _ in range(60)]
    pts += [rng.uniform(0.46875, 4.0) for _ in range(120)]
    pts += [rng.uniform(4.0, 26.0) for _ in range(80)]
    return pts


rows = []
for x in erfc_points():
    v = mpmath.erfc(mpmath.mpf(x))
    rows.append((repr(x), d(v)))
    if x > 0:
        rows.append((repr(-x), d(-v)))  # erfc(|x|) with the sign of x
write("prob_erfc.inc", "{x, erfc(|x|) with the sign of x}", rows)

# --- erf^-1 on [0, 0.999], both forms of the initial estimate --------------
ys = [1e-300, 1e-12, 1e-4, 0.1, 0.5, 0.7, math.nextafter(0.7, 1.0), 0.9, 0.99, 0.999,
      math.nextafter(0.999, 0.0)]
ys += [rng.uniform(0.0, 0.7) for _ in range(80)]
ys += [rng.uniform(0.7, 0.999) for _ in range(80)]
write("prob_inverse_erf.inc", "{y, erf^-1(y)}",
      [(repr(y), d(mpmath.erfinv(mpmath.mpf(y)))) for y in ys])

# --- ln Gamma over (1e-20, 1e6) ----------------------------------------------
BOUNDARIES = [0.5, 0.6796875, 1.5, 4.0, 12.0]
xs = [1e-20, 2.220446049250313e-16, 1e-10, 0.25, 1.0, 2.0, 3.0, 11.5, 100.0, 1e6]
for b in BOUNDARIES:
    xs += [math.nextafter(b, 0.0), b, math.nextafter(b, 100.0)]
xs += [log_uniform(1e-20, 1e6) for _ in range(200)]
xs += [rng.uniform(0.9, 2.1) for _ in range(40)]  # about the zeros at 1 and 2
write("prob_log_gamma.inc", "{x, ln Gamma(x)}",
      [(repr(x), d(mpmath.loggamma(mpmath.mpf(x)))) for x in xs])

# --- I_x(a, b) ---------------------------------------------------------------
rows = []
for a in (0.5, 1.0, 2.0, 3.5, 10.0, 50.0):
    for b in (0.5, 1.0, 2.5, 7.0, 30.0):
        for x in (0.001, 0.05, 0.3, 0.5, 0.77, 0.95, 0.999):
            v = mpmath.betainc(a, b, 0, mpmath.mpf(x), regularized=True)
            rows.append((repr(x), repr(a), repr(b), d(v)))
write("prob_incomplete_beta.inc", "{x, a, b, I_x(a, b)}", rows)


# --- beta quantiles ----------------------------------------------------------
def beta_quantile(p, a, b):
    p = mpmath.mpf(p)
    lo, hi = mpmath.mpf(0), mpmath.mpf(1)
    for _ in range(200):
        mid = (lo + hi) / 2
        if mpmath.betainc(a, b, 0, mid, regularized=True) < p:
            lo = mid
        else:
            hi = mid
    return (lo + hi) / 2


rows = []
for a, b in ((1.0, 1.0), (2.0, 3.0), (2.0, 5.0), (0.8, 1.6), (5.0, 1.5), (20.0, 20.0)):
    for p in (0.001, 0.05, 0.3, 0.5, 0.8, 0.99):
        rows.append((repr(p), repr(a), repr(b), d(beta_quantile(p, a, b))))
write("prob_inverse_beta.inc", "{p, a, b, x with I_x(a, b) = p}", rows)


rows = []
for x in (0.25, 0.46875, 0.5, 1.0, 2.5, 4.0, 4.5, 10.0, -1.0, -4.5):
    rows.append(('"erfc"', repr(x), repr(cody_erfc(x))))
# Each interval end belongs to the interval below it. Keep only ends where
# the two neighbouring forms round differently, so that a pin there also
# tells which form was used.
for form, x in enumerate([0.5, 0.6796875, 1.5, 4.0, 12.0], start=2):
    lower, upper = cody_log_gamma(x, form), cody_log_gamma(x, form + 1)
    if lower != upper:
        rows.append(('"log_gamma"', repr(x), repr(lower)))
for x in (1e-20, 0.3, 0.6, 1.2, 3.0, 7.0, 12.5, 1e6):
    rows.append(('"log_gamma"', repr(x), repr(cody_log_gamma(x))))
# Densely where beta shapes and their sums lie: a last-digit change in a
# Stirling constant moves the bits of only a few arguments in a thousand.
# (Their own stream of numbers, which leaves the tables after them as they were.)
dense = random.Random(1967)
for x in ([math.exp(dense.uniform(math.log(1e-20), math.log(12.0))) for _ in range(200)]
          + [dense.uniform(12.0, 200.0) for _ in range(1000)]):
    rows.append(('"log_gamma"', repr(x), repr(cody_log_gamma(x))))
write("prob_pinned.inc", '{"function", x, its approximation in double arithmetic}', rows)


# --- erf^-1 and the samplers, in double arithmetic ---------------------------
# Each pinned value is also checked here against mpmath, which guards the
# double evaluation against a slip in transcription.
def close(value, reference, tolerance):
    assert abs(mpmath.mpf(value) - reference) <= tolerance * abs(reference) + 1e-300, \
        (value, reference, mpmath.mpf(value) - reference)


# A grid over [0, 0.999], dense near 0.98 to 0.999 where erf is flat and a
# changed Newton step moves the most bits, the two ends of the substitution
# rule, and the meeting point of the two initial estimates.
ys = [0.0, 1e-300, 1e-12, 0.7, math.nextafter(0.7, 1.0), 0.98, 0.999,
      math.nextafter(0.999, 0.0), math.nextafter(0.999, 1.0), 1.0]
ys += [i / 100 for i in range(1, 98)]
ys += [rng.uniform(0.98, 0.999) for _ in range(120)]
ys += [rng.uniform(0.0, 0.98) for _ in range(60)]
rows = []
for y in ys:
    x = erfinv(y)
    if y <= 0.999:
        close(x, mpmath.erfinv(mpmath.mpf(y)), 1e-12)
    rows.append((repr(y), repr(x)))
    if y != 0.0:
        rows.append((repr(-y), repr(erfinv(-y))))
write("prob_pinned_inverse_erf.inc", "{y, erf^-1(y) in double arithmetic}", rows)


def uniforms(count):
    """Uniform numbers as the generator makes them, with the ends and the far
    tails around the substitution limit 2u - 1 = -+0.999."""
    us = [0.0, 1.0, 4.656612875245797e-10, 0.0005, 0.0004999, 0.9995, 0.5, 0.15, 0.85, 0.01, 0.99]
    for y in (math.nextafter(-0.999, 0.0), math.nextafter(0.999, 0.0)):
        us += [(1.0 + y) / 2.0, math.nextafter((1.0 + y) / 2.0, 0.5)]

    us += [rng.randrange(1, 2147483647) * 4.656612875245797e-10 for _ in range(count)]
    return us


def quantile(u, mean, std):
    y = mpmath.mpf(2.0 * u - 1.0)  # the argument as the program rounds it
    if abs(y) > 0.999:
        y = mpmath.sign(y) * mpmath.mpf(0.9)
    return mean + mpmath.sqrt(2) * std * mpmath.erfinv(y)


rows = []
for u in uniforms(240):
    mean, std = rng.choice([(0.0, 1.0), (50.0, 8.0), (20.0, 2.0), (0.4, 0.06), (-3.5, 11.0)])
    v = normal_deviate(u, mean, std)
    close(v - mean, quantile(u, mean, std) - mean, 1e-12)
    rows.append(('"normal"', repr(u), repr(mean), repr(std), repr(v)))
for u in uniforms(240):
    lam, zeta = rng.choice([(0.693, 0.2), (3.3, 0.1), (-0.5, 0.8), (1.1, 0.15)])
    v = lognormal_deviate(u, lam, zeta)
    close(v, mpmath.exp(quantile(u, lam, zeta)), 1e-12)
    rows.append(('"lognormal"', repr(u), repr(lam), repr(zeta), repr(v)))
for u in uniforms(240):
    a, b = rng.choice([(2.0, 3.0), (4.0, 6.0), (9.0, 11.0), (0.8, 1.6), (5.0, 1.5), (1.0, 1.0),
                       (30.0, 12.0)])
    v = inverse_beta(u, a, b)
    if 0.0 < u < 1.0:
        p = mpmath.betainc(a, b, 0, mpmath.mpf(v), regularized=True)
        # Near 0 the absolute stopping test ends the iteration early.
        assert abs(p - u) <= 1e-9 or v < 1e-7, (u, a, b, v, p)
    rows.append(('"beta"', repr(u), repr(a), repr(b), repr(v)))
write("prob_pinned_samplers.inc",
      '{"distribution", u, first parameter, second parameter, variate in double arithmetic}', rows)
