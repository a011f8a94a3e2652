#include "prob/beta_functions.hpp"

#include <array>
#include <cmath>
#include <cstdio>

#include "prob/polynomial.hpp"

namespace tbx {

namespace {

// W. J. Cody and K. E. Hillstrom, "Chebyshev approximations for the natural
// logarithm of the gamma function", Math. Comp. 21 (1967) 198-203, in the
// form of Cody's SPECFUN routine DLGAMA; coefficients in the published order,
// highest power first. Each rational form is num/den with num = 0, den = +-1
// to start and then num = num·y + p(i), den = den·y + q(i), i = 1..8.

/// One rational form: d, and the coefficients p and q of num and den.
struct RationalForm {
  double d;
  std::array<double, 8> p, q;
};

// d = -Euler's constant
constexpr RationalForm FORM_1 = {-5.772156649015328605195174e-1,
    {4.945235359296727046734888e0, 2.018112620856775083915565e2, 2.290838373831346393026739e3, 1.131967205903380828685045e4,
     2.855724635671635335736389e4, 3.848496228443793359990269e4, 2.637748787624195437963534e4, 7.225813979700288197698961e3},
    {6.748212550303777196073036e1, 1.113332393857199323513008e3, 7.738757056935398733233834e3, 2.763987074403340708898585e4,
     5.499310206226157329794414e4, 6.161122180066002127833352e4, 3.635127591501940507276287e4, 8.785536302431013170870835e3}};
// d = 1 - Euler's constant
constexpr RationalForm FORM_2 = {4.227843350984671393993777e-1,
    {4.974607845568932035012064e0, 5.424138599891070494101986e2, 1.550693864978364947665077e4, 1.847932904445632425417223e5,
     1.088204769468828767498470e6, 3.338152967987029735917223e6, 5.106661678927352456275255e6, 3.074109054850539556250927e6},
    {1.830328399370592604055942e2, 7.765049321445005871323047e3, 1.331903827966074194402448e5, 1.136705821321969608938755e6,
     5.267964117437946917577538e6, 1.346701454311101692290052e7, 1.782736530353274213975932e7, 9.533095591844353613395747e6}};
// d = ln 6 = ln Gamma(4)
constexpr RationalForm FORM_4 = {1.791759469228055000094023e0,
    {1.474502166059939948905062e4, 2.426813369486704502836312e6, 1.214755574045093227939592e8, 2.663432449630976949898078e9,
     2.940378956634553899906876e10, 1.702665737765398868392998e11, 4.926125793377430887588120e11, 5.606251856223951465078242e11},
    {2.690530175870899333379843e3, 6.393885654300092398984238e5, 4.135599930241388052042842e7, 1.120872109616147941376570e9,
     1.488613728678813811542398e10, 1.016803586272438228077304e11, 3.417476345507377132798597e11, 4.463158187419713286462081e11}};

/// ln Gamma(1 + y) from FORM_1, or ln Gamma(2 + y) from FORM_2, for
/// small y: y·(d + y·num/den), d being psi(1) or psi(2), so the result keeps
/// its relative accuracy at the zeros of ln Gamma. y·num/den rounds as
/// (y·num)/den.
double shifted_log_gamma(double y, const RationalForm& f) {
  const double num = horner(y, 0.0, f.p.begin(), f.p.end());
  const double den = horner(y, 1.0, f.q.begin(), f.q.end());
  return y * (f.d + y * num / den);
}

// Interval ends; each end belongs to the interval below it.
constexpr double FIRST_FORM_END = 0.5;
constexpr double SECOND_FORM_END = 0.6796875;
constexpr double THIRD_FORM_END = 1.5;
constexpr double FOURTH_FORM_END = 4.0;
constexpr double FIFTH_FORM_END = 12.0;

/// Stirling's series beyond 12: the correction sum in 1/x^2 (cs(1..7), with
/// cs(7) the starting value) and ln sqrt(2 pi).
double stirling(double x) {
  constexpr std::array<double, 7> CS = {
      -1.910444077728e-3, 8.4171387781295e-4, -5.952379913043012e-4,
      7.93650793500350248e-4, -2.777777777777681622553e-3,
      8.333333333333333331554247e-2, 5.7083835261e-3};
  constexpr double SPI = 0.9189385332046727417803297;  // ln sqrt(2 pi)
  // A series in 1/x^2 evaluated by division, not by Horner's rule in a
  // precomputed reciprocal: the two differ in the last bit.
  const double x_squared = x * x;
  double sum = CS[6];
  for (int i = 0; i < 6; ++i) sum = sum / x_squared + CS[i];
  sum = sum / x;
  const double log_x = std::log(x);
  return sum + SPI - 0.5 * log_x + x * (log_x - 1.0);
}

}  // namespace

// Cody and Hillstrom (1967): on (0, 12] rational forms about 1, 2 and 4
// (ln Gamma(x) = -ln x + ln Gamma(1 + x) below 0.6796875), and Stirling's
// series beyond; below eps only the pole term -ln x matters.
void log_gamma(double& x) {
  const double v = x;
  double result;
  if (v <= BETA_EPSILON) {
    result = -std::log(v);
  } else if (v <= FIRST_FORM_END) {
    result = -std::log(v) + shifted_log_gamma(v, FORM_1);
  } else if (v <= SECOND_FORM_END) {
    result = -std::log(v) + shifted_log_gamma((v - 0.5) - 0.5, FORM_2);
  } else if (v <= THIRD_FORM_END) {
    result = shifted_log_gamma((v - 0.5) - 0.5, FORM_1);
  } else if (v <= FOURTH_FORM_END) {
    result = shifted_log_gamma(v - 2.0, FORM_2);
  } else if (v <= FIFTH_FORM_END) {
    const double y = v - 4.0;
    const double num = horner(y, 0.0, FORM_4.p.begin(), FORM_4.p.end());
    const double den = horner(y, -1.0, FORM_4.q.begin(), FORM_4.q.end());
    result = FORM_4.d + y * num / den;
  } else {
    result = stirling(v);
  }
  x = result;
}

namespace {

// The continued fraction for I_x(a, b) (Abramowitz & Stegun 26.5.8),
// evaluated with the recurrences for the convergents' numerators and
// denominators, an even and an odd term at a time, renormalised after each
// pair (Press, Flannery, Teukolsky & Vetterling, Numerical Recipes, 1986,
// chapter 6).
constexpr int MAX_FRACTION_TERMS = 1000;
constexpr double FRACTION_TOLERANCE = 1000.0 * BETA_EPSILON;
// What a fraction that has not converged by MAX_FRACTION_TERMS delivers. It
// is no probability; the caller receives it like any other value.
constexpr double FRACTION_SENTINEL = 1000000.0;

double beta_fraction(double alpha, double beta, double z, int& nan_texts) {
  const double s = alpha + beta;
  const double alpha_plus = alpha + 1.0;
  const double alpha_minus = alpha - 1.0;
  double am = 1.0;
  double bm = 1.0;
  double az = 1.0;
  double bz = 1.0 - s * z / alpha_plus;
  for (int step = 1;; ++step) {
    const double m = step;
    const double t = 2.0 * m;
    double d = m * (beta - m) * z / ((alpha_minus + t) * (alpha + t));
    const double ap = az + d * am;
    const double bp = bz + d * bm;
    d = -(alpha + m) * (s + m) * z / ((alpha + t) * (alpha_plus + t));
    const double app = ap + d * az;
    const double bpp = bp + d * bz;
    const double aold = az;
    am = ap / bpp;
    bm = bp / bpp;
    az = app / bpp;
    bz = 1.0;
    // The limit comes before the convergence test: the first iteration at
    // the limit always takes the sentinel, and only the next one, comparing
    // the sentinel with itself, ends the loop (unless the previous value
    // happened to lie within the tolerance of the sentinel).
    if (step >= MAX_FRACTION_TERMS) {
      ++nan_texts;
      az = FRACTION_SENTINEL;
    }
    if (std::fabs(az - aold) <= FRACTION_TOLERANCE * std::fabs(az)) return az;
  }
}

}  // namespace

BetaShape make_beta_shape(double a, double b) {
  BetaShape s{a, b, a, b, a + b};
  log_gamma(s.lg_a);
  log_gamma(s.lg_b);
  log_gamma(s.lg_ab);
  return s;
}

double beta_density_value(double x, const BetaShape& s) { return beta_density_value(beta_logs(x), s); }

double beta_density_value(const BetaLogs& l, const BetaShape& s) {
  const double g = (s.lg_a + s.lg_b) - s.lg_ab;
  const double t = ((s.b - 1.0) * l.log_1mx + (s.a - 1.0) * l.log_x) - g;
  return std::exp(t);
}

double incomplete_beta_value(double x, const BetaShape& s, int& nan_texts) {
  return incomplete_beta_value(beta_logs(x), s, nan_texts);
}

double incomplete_beta_value(const BetaLogs& l, const BetaShape& s, int& nan_texts) {
  const double x = l.x;
  const double a = s.a;
  const double b = s.b;
  // At x = 0 or 1 a logarithm is -inf and the prefactor becomes 0: no
  // special case is needed for the ends.
  const double bt = std::exp(((s.lg_ab - s.lg_a) - s.lg_b) + a * l.log_x + b * l.log_1mx);
  // The fraction converges quickly for x < (a + 1)/(a + b + 2); beyond, use
  // I_x(a, b) = 1 - I_(1-x)(b, a).
  if (x < (a + 1.0) / (a + b + 2.0)) return bt * beta_fraction(a, b, x, nan_texts) / a;
  return 1.0 - bt * beta_fraction(b, a, 1.0 - x, nan_texts) / b;
}

void write_fraction_warnings(int count, Console out) {
  for (int i = 0; i < count; ++i) {
    out.text("\n NaN \n");
    out.warning({RunWarning::Kind::not_a_number, 0, 0, 0.0});
  }
}

void beta_density(double& x, double a, double b) {
  x = beta_density_value(x, make_beta_shape(a, b));
}

void incomplete_beta(double& x, double a, double b) {
  int nan_texts = 0;
  x = incomplete_beta_value(x, make_beta_shape(a, b), nan_texts);
  write_fraction_warnings(nan_texts);
}

}  // namespace tbx
