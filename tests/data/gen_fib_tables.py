#!/usr/bin/env python3
# Regenerate with:  python3 tests/data/gen_fib_tables.py   (from the repository root;
# needs python3-mpmath). Writes tests/data/fib_model_reference.inc,
# tests/data/moment_quantiles.inc and tests/data/regularized_beta_tight.inc.
#
# Reference values for the fib model and the moment-based samplers, computed
# with mpmath at 50 significant digits from the published formulas and
# rounded once to double; nothing is taken from the program:
#   ke      = exp(be (1/293 - 1/(T + 273.15)))
#   D       = D_RCM0 * 1e-12 m2/s = D_RCM0 * 1e-12 * 1e6 * 365 * 24 * 3600 mm2/year
#   Dapp    = ke D kt (t0 / t)^alpha,  t0 = 0.0767 years
#   C(a, t) = C0 + (Cs - C0) (1 - erf((a - dx) / (2 sqrt(Dapp t))))
#   t_init  : C(a, t_init) = Ccrit
# and the quantiles of the normal, lognormal (mean and sd of the variable),
# four-parameter beta (mean, sd, bounds) and uniform distributions, and the
# regularized incomplete beta function with its quantile.

import mpmath

from table_io import bisect, d, normal_quantile, write

mpmath.mp.dps = 50
mp = mpmath.mpf






# ---- the fib model ----------------------------------------------------------

T0 = mp("0.0767")
MM2_PER_YEAR = mp(10) ** -12 * mp(10) ** 6 * 365 * 24 * 3600


def fib(a, dx, drcm, alpha, be, temp, cs, c0, ccrit, kt, t):
    a, dx, drcm, alpha, be, temp, cs, c0, ccrit, kt, t = (mp(v) for v in (a, dx, drcm, alpha, be, temp, cs, c0,
                                                                            ccrit, kt, t))
    ke = mpmath.exp(be * (mp(1) / 293 - 1 / (temp + mp("273.15"))))
    diffusion = ke * drcm * MM2_PER_YEAR * kt
    dapp = diffusion * (T0 / t) ** alpha
    c = cs if a <= dx else c0 + (cs - c0) * mpmath.erfc((a - dx) / (2 * mpmath.sqrt(dapp * t)))
    z = mpmath.erfinv(1 - (ccrit - c0) / (cs - c0))
    half = (a - dx) / (2 * z)
    t_init = (half ** 2 / (diffusion * T0 ** alpha)) ** (1 / (1 - alpha))
    return diffusion, c, t_init


# a, dx, D_RCM0, alpha, be, T, Cs_dx, C0, Ccrit, kt, t: typical members in
# each exposure, a cold and a hot member, kt other than 1, young and old.
fib_inputs = [
    (50.0, 0.0, 8.9, 0.45, 4800.0, 15.0, 3.0, 0.1, 0.6, 1.0, 50.0),
    (50.0, 0.0, 8.9, 0.45, 4800.0, 20.0, 3.0, 0.1, 0.6, 1.0, 50.0),
    (60.0, 8.9, 4.8, 0.3, 4800.0, 10.0, 3.5, 0.05, 0.6, 1.0, 100.0),
    (45.0, 12.5, 15.8, 0.6, 4500.0, 25.0, 2.2, 0.2, 0.7, 1.0, 10.0),
    (35.0, 0.0, 2.5, 0.45, 5300.0, -5.0, 4.0, 0.0, 0.5, 0.85, 1.0),
    (70.0, 3.0, 12.0, 0.2, 4800.0, 30.0, 5.0, 0.15, 0.9, 1.3, 120.0),
    (40.0, 0.0, 6.0, 0.65, 4800.0, 12.0, 1.8, 0.1, 0.4, 1.0, 0.5),
    (55.0, 20.0, 9.5, 0.5, 4100.0, 18.0, 3.2, 0.08, 1.1, 1.0, 75.0),
]
rows = []
for args in fib_inputs:
    rows.append([repr(v) for v in args] + [d(v) for v in fib(*args)])
write("fib_model_reference.inc",
      "{a, dx, D_RCM0, alpha, be, T, Cs_dx, C0, Ccrit, kt, t, ke D_RCM0 kt (mm2/year), C(a, t), t_init}", rows)

# ---- the moment-based samplers ----------------------------------------------


def beta_cdf(p, q, x):
    """I_x(p, q), its series summed from the end where it converges."""
    if x <= p / (p + q):
        return lower_beta(p, q, x)
    return 1 - lower_beta(q, p, 1 - x)


def lower_beta(a, b, x):
    """I_x(a, b) = x^a (1 - x)^b / (a B(a, b)) 2F1(a + b, 1; a + 1; x), a
    series of positive terms, for x up to the mean."""
    a, b, x = mp(a), mp(b), mp(x)
    front = mpmath.exp(a * mpmath.log(x) + b * mpmath.log1p(-x) - mpmath.log(a) - mpmath.log(mpmath.beta(a, b)))
    return front * mpmath.hyp2f1(a + b, 1, a + 1, x, maxterms=10 ** 7)


def moment_quantile(kind, mean, sd, lower, upper, u):
    mean, sd, lower, upper, u = (mp(v) for v in (mean, sd, lower, upper, u))
    if kind == "normal":
        return mean + sd * normal_quantile(u)
    if kind == "lognormal":
        zeta2 = mpmath.log(1 + (sd / mean) ** 2)
        return mpmath.exp(mpmath.log(mean) - zeta2 / 2 + mpmath.sqrt(zeta2) * normal_quantile(u))
    if kind == "uniform":
        return lower + u * (upper - lower)
    # beta on [lower, upper]: m (1 - m) / v - 1 = p + q on [0, 1]
    width = upper - lower
    m = (mean - lower) / width
    v = (sd / width) ** 2
    s = m * (1 - m) / v - 1
    p, q = m * s, (1 - m) * s
    if u <= 0.5:
        x = bisect(lambda x: beta_cdf(p, q, x) - u, mp(10) ** -300, 1)
        return lower + width * x
    y = bisect(lambda y: beta_cdf(q, p, y) - (1 - u), mp(10) ** -300, 1)
    return upper - width * y


KINDS = {"normal": "N", "lognormal": "LN", "beta": "B", "uniform": "U"}
# Small and large coefficients of variation, small and large beta shapes (the
# presets among them), both tails and the centre.
distributions = [
    ("normal", 50.0, 8.0, 0.0, 0.0),
    ("normal", 4800.0, 700.0, 0.0, 0.0),
    ("normal", -3.5, 1e-4, 0.0, 0.0),
    ("lognormal", 8.9, 1.8, 0.0, 0.0),
    ("lognormal", 3.0, 1e-3, 0.0, 0.0),
    ("lognormal", 0.02, 0.05, 0.0, 0.0),
    ("beta", 8.9, 5.6, 0.0, 50.0),
    ("beta", 0.6, 0.15, 0.2, 2.0),
    ("beta", 0.30, 0.12, 0.0, 1.0),
    ("beta", 0.45, 0.20, 0.0, 1.0),
    ("beta", 0.1, 0.2, 0.0, 1.0),
    ("beta", 50.0, 0.05, 10.0, 90.0),
    ("beta", 0.97, 0.02, 0.0, 1.0),
    ("beta", 0.9, 0.05, -100.0, 1.0),
    ("beta", -0.8, 0.3, -2.0, 40.0),
    ("uniform", 0.0, 0.0, 2.0, 5.0),
    ("uniform", 0.0, 0.0, -0.3, 0.7),
]
us = [1e-12, 1e-4, 0.0137, 0.3, 0.5, 0.77, 0.9901, 1 - 2.0 ** -40]
rows = []
for kind, mean, sd, lower, upper in distributions:
    for u in us:
        value = moment_quantile(kind, mean, sd, lower, upper, u)
        rows.append([KINDS[kind]] + [repr(v) for v in (mean, sd, lower, upper, u)] + [d(value)])
write("moment_quantiles.inc", "{kind, mean, sd, lower, upper, u, value with distribution function u}", rows)

# ---- the regularized incomplete beta function -------------------------------

# Shapes below 1, near 1, moderate, around the switch to Stirling's series
# (10) and large; the points on both sides of the switch of the continued
# fraction, (p + 1) / (p + q + 2).
shapes = [(0.1, 0.1), (0.3, 2.5), (2.0, 5.0), (0.5, 12.0), (12.0, 15.0), (50.0, 0.7), (9.5, 10.5),
          (300.0, 40.0), (1244.0, 4355.0), (2.0e5, 3.0e5), (60.0, 0.25), (30.0, 0.15)]
rows = []
for p, q in shapes:
    mean = p / (p + q)
    sd = (p * q / (p + q + 1)) ** 0.5 / (p + q)
    switch = (p + 1) / (p + q + 2)
    xs = {max(mean - 3 * sd, mean / 50), mean - 0.7 * sd, mean, min(mean + 0.5 * sd, (1 + mean) / 2),
          (switch + 1) / 2, switch * 0.999, min(switch * 1.001, (1 + switch) / 2)}
    for x in sorted(xs):
        x = float("%.6g" % x)
        if not 0 < x < 1:
            continue
        cdf = beta_cdf(p, q, x)
        upper = beta_cdf(q, p, x)  # upper_tail(x) = 1 - I_(1-x)(p, q)
        rows.append((repr(p), repr(q), repr(x), d(cdf), d(upper)))
write("regularized_beta_tight.inc", "{p, q, x, I_x(p, q), I_x(q, p)}", rows)
