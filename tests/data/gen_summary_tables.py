#!/usr/bin/env python3
# Regenerate with:  python3 tests/data/gen_summary_tables.py   (from the repository root;
# needs python3-mpmath). Writes the reference tables tests/data/summary_*.inc.
#
# Reference values for the summary's statistics, computed with mpmath at 50
# significant digits and rounded once to double: the standard normal
# quantile, the Clopper-Pearson interval of a binomial proportion (quantiles
# of the beta distribution, found by bisection on exact binomial tail sums), and the order-statistic ranks that bracket a quantile
# with 95 % confidence (from exact binomial sums). Rows are "{...}," for
# inclusion inside a C++ array initialiser; inputs are printed with repr,
# which reads back as the same double in C++.


import mpmath

from table_io import bisect, d, normal_quantile, write

mpmath.mp.dps = 50






quantile_args = [1e-300, 1e-100, 1e-20, 1e-10, 1e-5, 0.001, 0.025, 0.09680048458561036, 0.1,
                 0.3, 0.4999999, 0.5000001, 0.7, 0.9, 0.975, 0.999, 1 - 1e-10]
write("summary_normal_quantile.inc", "{p, Phi^-1(p)}",
      [(repr(p), d(normal_quantile(p))) for p in quantile_args])


def binomial_tail(n, x, k, upper):
    """P(B >= k) (upper) or P(B <= k) for B binomial(n, x), summed exactly
    over every term that matters at 50 digits (within 40 standard deviations
    of the mean, and at least 60 terms)."""
    mean = n * x
    sd = mpmath.sqrt(n * x * (1 - x))
    reach = int(40 * sd) + 60
    first, last = (k, min(n, int(mean) + reach)) if upper else (max(0, int(mean) - reach), k)
    if first > last:
        return mpmath.mpf(0)
    term = mpmath.exp(mpmath.loggamma(n + 1) - mpmath.loggamma(first + 1) - mpmath.loggamma(n - first + 1)
                      + first * mpmath.log(x) + (n - first) * mpmath.log(1 - x))
    total = mpmath.mpf(0)
    for i in range(first, last + 1):
        total += term
        term = term * (n - i) / (i + 1) * x / (1 - x)
    return total


def clopper_pearson(k, n):
    tail = mpmath.mpf(1) / 40
    centre = mpmath.mpf(k) / n
    width = 12 * mpmath.sqrt(max(centre * (1 - centre), mpmath.mpf(1) / n) / n) + mpmath.mpf(20) / n
    lo_x, hi_x = max(mpmath.mpf(10) ** -30, centre - width), min(1 - mpmath.mpf(10) ** -30, centre + width)
    # P(B >= k) grows with x; P(B <= k) falls.
    low = 0 if k == 0 else bisect(lambda x: binomial_tail(n, x, k, True) - tail, lo_x, hi_x, 200)
    high = 1 if k == n else bisect(lambda x: tail - binomial_tail(n, x, k, False), lo_x, hi_x, 200)
    return low, high


cp_cases = [(0, 10), (1, 10), (5, 10), (10, 10), (0, 10000), (22, 10000), (348, 10000), (2925, 10000),
            (1, 100000), (50000, 100000), (99999, 100000), (3, 1000000)]
rows = []
for k, n in cp_cases:
    low, high = clopper_pearson(k, n)
    rows.append((str(k), str(n), d(low), d(high)))
write("summary_clopper_pearson.inc", "{k, n, low, high}: exact 95 % interval", rows)


def binomial_cdf_table(n, p):
    """P(B <= k) for k = 0..n as a list (exact sums)."""
    p = mpmath.mpf(p)
    term = (1 - p) ** n
    out = []
    total = mpmath.mpf(0)
    for k in range(n + 1):
        total += term
        out.append(total)
        term = term * (n - k) / (k + 1) * p / (1 - p)
    return out


rows = []
for n, p in [(20, 0.05), (100, 0.5), (1000, 0.09680048458561036), (10000, 0.01), (10000, 0.09680048458561036),
             (30000, 0.9)]:
    cdf = binomial_cdf_table(n, p)
    tail = mpmath.mpf(1) / 40
    low = next(k for k in range(n + 1) if cdf[k] > tail)
    high = next(k for k in range(n + 1) if cdf[k] >= 1 - tail) + 1
    rows.append((str(n), repr(p), str(low), str(high)))
write("summary_order_bounds.inc", "{n, p, low rank, high rank}: X_(low) <= xi_p <= X_(high) with >= 95 %", rows)
