"""The program's own approximations evaluated in Python's IEEE double arithmetic.

Every function here repeats the C++ formulas operation by operation, in the
same order, with the platform's exp, log, pow and sqrt, so its results are
the bits the program must produce. The generators (gen_prob_tables.py,
gen_model_tables.py) write them into tables that the tests compare with
equality: a changed order of operations, a constant off in its last digit or
one iteration more or less shows up as a difference in the last bits, which
accuracy tables with a tolerance would absorb.
"""

import math

# Coefficients as published with Cody's SPECFUN routines CALERF and DLGAMA.
N1 = [3.16112374387056560e0, 1.13864154151050156e2, 3.77485237685302021e2,
      3.20937758913846947e3, 1.85777706184603153e-1]
D1 = [2.36012909523441209e1, 2.44024637934444173e2, 1.28261652607737228e3,
      2.84423683343917062e3]
N2 = [5.64188496988670089e-1, 8.88314979438837594e0, 6.61191906371416295e1,
      2.98635138197400131e2, 8.81952221241769090e2, 1.71204761263407058e3,
      2.05107837782607147e3, 1.23033935479799725e3, 2.15311535474403846e-8]
D2 = [1.57449261107098347e1, 1.17693950891312499e2, 5.37181101862009858e2,
      1.62138957456669019e3, 3.29079923573345963e3, 4.36261909014324716e3,
      3.43936767414372164e3, 1.23033935480374942e3]
N3 = [3.05326634961232344e-1, 3.60344899949804439e-1, 1.25781726111229246e-1,
      1.60837851487422766e-2, 6.58749161529837803e-4, 1.63153871373020978e-2]
D3 = [2.56852019228982242e0, 1.87295284992346047e0, 5.27905102951428412e-1,
      6.05183413124413191e-2, 2.33520497626869185e-3]


def cody_erfc(x):
    y = abs(x)
    if y <= 0.46875:
        s = y * y
        num, den = N1[4] * s, s
        for i in range(3):
            num = (num + N1[i]) * s
            den = (den + D1[i]) * s
        res = 1.0 - y * (num + N1[3]) / (den + D1[3])
    else:
        if y <= 4.0:
            num, den = N2[8] * y, y
            for i in range(7):
                num = (num + N2[i]) * y
                den = (den + D2[i]) * y
            r = (num + N2[7]) / (den + D2[7])
        else:
            s = 1.0 / (y * y)
            num, den = N3[5] * s, s
            for i in range(4):
                num = (num + N3[i]) * s
                den = (den + D3[i]) * s
            r = s * (num + N3[4]) / (den + D3[4])
            r = (1.0 / math.sqrt(3.14159265358979) - r) / y
        w = math.trunc(16.0 * y) / 16.0
        delta = (y - w) * (y + w)
        res = math.exp(-w * w) * math.exp(-delta) * r
    return -res if x < 0 else res


LG_D1 = -5.772156649015328605195174e-1
LG_P1 = [4.945235359296727046734888e0, 2.018112620856775083915565e2,
         2.290838373831346393026739e3, 1.131967205903380828685045e4,
         2.855724635671635335736389e4, 3.848496228443793359990269e4,
         2.637748787624195437963534e4, 7.225813979700288197698961e3]
LG_Q1 = [6.748212550303777196073036e1, 1.113332393857199323513008e3,
         7.738757056935398733233834e3, 2.763987074403340708898585e4,
         5.499310206226157329794414e4, 6.161122180066002127833352e4,
         3.635127591501940507276287e4, 8.785536302431013170870835e3]
LG_D2 = 4.227843350984671393993777e-1
LG_P2 = [4.974607845568932035012064e0, 5.424138599891070494101986e2,
         1.550693864978364947665077e4, 1.847932904445632425417223e5,
         1.088204769468828767498470e6, 3.338152967987029735917223e6,
         5.106661678927352456275255e6, 3.074109054850539556250927e6]
LG_Q2 = [1.830328399370592604055942e2, 7.765049321445005871323047e3,
         1.331903827966074194402448e5, 1.136705821321969608938755e6,
         5.267964117437946917577538e6, 1.346701454311101692290052e7,
         1.782736530353274213975932e7, 9.533095591844353613395747e6]
LG_D4 = 1.791759469228055000094023e0
LG_P4 = [1.474502166059939948905062e4, 2.426813369486704502836312e6,
         1.214755574045093227939592e8, 2.663432449630976949898078e9,
         2.940378956634553899906876e10, 1.702665737765398868392998e11,
         4.926125793377430887588120e11, 5.606251856223951465078242e11]
LG_Q4 = [2.690530175870899333379843e3, 6.393885654300092398984238e5,
         4.135599930241388052042842e7, 1.120872109616147941376570e9,
         1.488613728678813811542398e10, 1.016803586272438228077304e11,
         3.417476345507377132798597e11, 4.463158187419713286462081e11]
LG_CS = [-1.910444077728e-3, 8.4171387781295e-4, -5.952379913043012e-4,
         7.93650793500350248e-4, -2.777777777777681622553e-3,
         8.333333333333333331554247e-2, 5.7083835261e-3]
LG_SPI = 0.9189385332046727417803297
EPS = 2.22044609250313e-16


def rational(y, p, q, den):
    num = 0.0
    for i in range(8):
        num = num * y + p[i]
        den = den * y + q[i]
    return num, den


def cody_log_gamma(x, form=None):
    """form selects an interval by number (1..7) regardless of x."""
    if form is None:
        form = 1 + sum(x > e for e in (EPS, 0.5, 0.6796875, 1.5, 4.0, 12.0))
    if form == 1:
        return -math.log(x)
    if form in (2, 4):
        y = x if form == 2 else (x - 0.5) - 0.5
        num, den = rational(y, LG_P1, LG_Q1, 1.0)
        r = y * (LG_D1 + y * num / den)
        return -math.log(x) + r if form == 2 else r
    if form in (3, 5):
        y = (x - 0.5) - 0.5 if form == 3 else x - 2.0
        num, den = rational(y, LG_P2, LG_Q2, 1.0)
        r = y * (LG_D2 + y * num / den)
        return -math.log(x) + r if form == 3 else r
    if form == 6:
        y = x - 4.0
        num, den = rational(y, LG_P4, LG_Q4, -1.0)
        return LG_D4 + y * num / den
    xsq = x * x
    r = LG_CS[6]
    for i in range(6):
        r = r / xsq + LG_CS[i]
    r = r / x
    lx = math.log(x)
    return r + LG_SPI - 0.5 * lx + x * (lx - 1.0)




def horner(x, lead, coefficients):
    r = lead
    for c in coefficients:
        r = r * x + c
    return r


def erf_range1(y):
    """erf(y) for 0 <= y <= 0.46875."""
    s = y * y
    return y * horner(s, N1[4], N1[:4]) / horner(s, 1.0, D1)


def erfc_range2(y):
    """erfc(y) for 0.46875 < y <= 4."""
    r = horner(y, N2[8], N2[:8]) / horner(y, 1.0, D2)
    w = math.trunc(16.0 * y) / 16.0
    delta = (y - w) * (y + w)
    return math.exp(-w * w) * math.exp(-delta) * r


# --- erf^-1: a rational initial estimate and two Newton steps ---------------
ERFINV_CENTRAL_NUM = [-0.140543331, 0.914624893, -1.645349621, 0.886226899]
ERFINV_CENTRAL_DEN = [0.012229801, -0.329097515, 1.442710462, -2.118377725, 1.0]
ERFINV_TAIL_NUM = [1.641345311, 3.429567803, -1.624906493, -1.970840454]
ERFINV_TAIL_DEN = [1.6370678, 3.5438892, 1.0]


def erfinv(y):
    """erf^-1(y); beyond +-0.999 the argument is taken as +-0.9."""
    sign = -1.0 if y < 0.0 else 1.0
    w = 0.9 if (y < -0.999 or y > 0.999) else abs(y)
    if w <= 0.7:
        z = w * w
        x = (w * horner(z, ERFINV_CENTRAL_NUM[0], ERFINV_CENTRAL_NUM[1:])
             / horner(z, ERFINV_CENTRAL_DEN[0], ERFINV_CENTRAL_DEN[1:]))
    else:
        t = math.sqrt(-math.log((1.0 - w) / 2.0))
        x = (horner(t, ERFINV_TAIL_NUM[0], ERFINV_TAIL_NUM[1:])
             / horner(t, ERFINV_TAIL_DEN[0], ERFINV_TAIL_DEN[1:]))
    two_over_sqrt_pi = 2.0 / math.sqrt(3.14159265358979)
    for _ in range(2):
        e = erf_range1(x) if x <= 0.46875 else 1.0 - erfc_range2(x)
        x = x - (e - w) / (two_over_sqrt_pi * math.exp(-x * x))
    return sign * x


# --- the samplers --------------------------------------------------------------
def normal_deviate(u, mean, std):
    return math.sqrt(2.0) * std * erfinv(2.0 * u - 1.0) + mean


def lognormal_deviate(u, lam, zeta):
    return math.exp(normal_deviate(u, lam, zeta))


class BetaShape:
    def __init__(self, a, b):
        self.a, self.b = a, b
        self.lg_a, self.lg_b, self.lg_ab = cody_log_gamma(a), cody_log_gamma(b), cody_log_gamma(a + b)


def beta_density(x, s):
    g = (s.lg_a + s.lg_b) - s.lg_ab
    return math.exp(((s.b - 1.0) * math.log(1.0 - x) + (s.a - 1.0) * math.log(x)) - g)


def beta_fraction(alpha, beta, z):
    s = alpha + beta
    alpha_plus, alpha_minus = alpha + 1.0, alpha - 1.0
    am = bm = az = 1.0
    bz = 1.0 - s * z / alpha_plus
    step = 1
    while True:
        m = float(step)
        t = 2.0 * m
        d = m * (beta - m) * z / ((alpha_minus + t) * (alpha + t))
        ap, bp = az + d * am, bz + d * bm
        d = -(alpha + m) * (s + m) * z / ((alpha + t) * (alpha_plus + t))
        app, bpp = ap + d * az, bp + d * bz
        aold = az
        am, bm, az, bz = ap / bpp, bp / bpp, app / bpp, 1.0
        if step >= 1000:
            raise ArithmeticError("continued fraction did not converge")
        if abs(az - aold) <= 1000.0 * EPS * abs(az):
            return az
        step += 1


def incomplete_beta(x, s):
    a, b = s.a, s.b
    bt = math.exp(((s.lg_ab - s.lg_a) - s.lg_b) + a * math.log(x) + b * math.log(1.0 - x))
    if x < (a + 1.0) / (a + b + 2.0):
        return bt * beta_fraction(a, b, x) / a
    return 1.0 - bt * beta_fraction(b, a, 1.0 - x) / b


def inverse_beta(p, a, b):
    """The beta quantile by Newton's method from the mean, as the program takes it."""
    if p == 0.0 or p == 1.0:
        return p
    s = BetaShape(a, b)
    crit = math.sqrt(EPS)
    xc = a / (a + b)
    h, steps = 1.0, 0
    while abs(h) > crit * abs(xc) and abs(h) > crit and steps < 100:
        steps += 1
        h = (incomplete_beta(xc, s) - p) / beta_density(xc, s)
        nxt = xc - h
        if nxt <= 0.0:
            nxt = xc / 10.0
        if nxt >= 1.0:
            nxt = 1.0 - (1.0 - xc) / 10.0
        xc = nxt
    if steps == 100:
        raise ArithmeticError("beta inversion did not converge")
    return xc


# --- the chloride-ingress model --------------------------------------------------
def temperature_factor(temp):
    return math.exp((1.0 / 293 - 1.0 / (273 + temp)) * 4209.6147601120965)


def age_factor(te_years, to_years, m, n, t):
    r = te_years / t
    return (math.pow(1 + r, m) - math.pow(r, m)) * math.pow(to_years / t, n)


def depth_factor(ccr, cs):
    return 2 * erfinv(1 - ccr / cs)


def load(dcoef, m, temp_factor, t, age, depth, model_factor):
    prefix = dcoef / m * temp_factor / 1e12 * 365 * 24 * 3600
    dt = prefix * t
    return math.sqrt(dt * age) * depth * 1000 * model_factor


def probability_from_beta(beta):
    """100 Phi(-beta) for beta > 0, -100 Phi(beta) otherwise, through erfc."""
    y = (beta / math.sqrt(2.0)) * -1.0
    return -0.5 * cody_erfc(y) * 100
