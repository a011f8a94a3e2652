#include "summary/form.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace tbx {

namespace {

double dot(const std::vector<double>& a, const std::vector<double>& b) {
  double s = 0;
  for (std::size_t i = 0; i < a.size(); ++i) s += a[i] * b[i];
  return s;
}

std::string number_text(double x) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.3g", x);
  return buffer;
}

}  // namespace

FormResult form_search(const std::function<double(const std::vector<double>& u)>& g, std::size_t dimension,
                       const FormSettings& settings) {
  FormResult r;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  r.beta = nan;
  auto eval = [&](const std::vector<double>& u) {
    ++r.evaluations;
    return g(u);
  };
  std::vector<double> u(dimension, 0.0);
  double gu = eval(u);
  const double g0 = gu;
  if (dimension == 0) {
    r.reason = "no variable is random";
    return r;
  }
  if (!std::isfinite(g0)) {
    r.reason = "G is not a number at the median of every variable";
    return r;
  }
  const double g_tolerance = settings.tolerance * std::max(std::fabs(g0), std::numeric_limits<double>::min());
  std::vector<double> grad(dimension), next(dimension), d(dimension), trial(dimension);
  auto gradient = [&](const std::vector<double>& at) {
    std::vector<double> x = at;
    for (std::size_t i = 0; i < dimension; ++i) {
      const double h = settings.step * std::max(1.0, std::fabs(at[i]));
      x[i] = at[i] + h;
      const double up = eval(x);
      x[i] = at[i] - h;
      const double down = eval(x);
      x[i] = at[i];
      grad[i] = (up - down) / (2 * h);
    }
  };
  double step_length = 0;
  for (r.iterations = 1; r.iterations <= settings.max_iterations; ++r.iterations) {
    gradient(u);
    const double grad2 = dot(grad, grad);
    if (!(grad2 > 0) || !std::isfinite(grad2)) {
      r.reason = grad2 > 0 ? "the gradient of G is not a number near the point reached"
                           : "G does not change with any variable near the point reached";
      return r;
    }
    const double norm_u = std::sqrt(dot(u, u));
    const double cosine = norm_u > 0 ? std::fabs(dot(u, grad)) / (norm_u * std::sqrt(grad2)) : 1.0;
    if (std::fabs(gu) <= g_tolerance && (norm_u == 0 || 1 - cosine <= settings.tolerance)) {
      r.converged = true;
      break;
    }
    // The HL-RF point: the nearest point of the linearised surface.
    const double factor = (dot(grad, u) - gu) / grad2;
    for (std::size_t i = 0; i < dimension; ++i) {
      next[i] = factor * grad[i];
      d[i] = next[i] - u[i];
    }
    // The merit's weight on |G| must exceed |u| / |grad G| for d to descend.
    const double c = 2 * std::max(norm_u, std::sqrt(dot(next, next))) / std::sqrt(grad2) + 1e-300;
    auto merit = [&](const std::vector<double>& at, double g_at) { return 0.5 * dot(at, at) + c * std::fabs(g_at); };
    const double m0 = merit(u, gu);
    const double sign = gu > 0 ? 1.0 : gu < 0 ? -1.0 : 0.0;
    double slope = 0;  // directional derivative of the merit along d
    for (std::size_t i = 0; i < dimension; ++i) slope += (u[i] + c * sign * grad[i]) * d[i];
    double lambda = 1;
    double g_trial = nan;
    bool accepted = false;
    for (int halving = 0; halving < 30; ++halving, lambda *= 0.5) {
      for (std::size_t i = 0; i < dimension; ++i) trial[i] = u[i] + lambda * d[i];
      g_trial = eval(trial);
      if (std::isfinite(g_trial) && merit(trial, g_trial) <= m0 + 1e-4 * lambda * std::min(slope, 0.0)) {
        accepted = true;
        break;
      }
    }
    if (!accepted) {
      r.note = "the line search found no better point after 30 halvings at iteration " + std::to_string(r.iterations);
      break;
    }
    step_length = lambda * std::sqrt(dot(d, d));
    u = trial;
    gu = g_trial;
    if (step_length <= 1e-12 * (1 + std::sqrt(dot(u, u))) && std::fabs(gu) <= g_tolerance) {
      gradient(u);
      r.converged = true;
      break;
    }
  }
  if (r.iterations > settings.max_iterations) r.iterations = settings.max_iterations;
  if (!r.converged) gradient(u);
  if (!r.converged && r.note.empty()) {
    r.note = "not converged in " + std::to_string(settings.max_iterations) + " iterations: G = " +
             number_text(gu) + " (" + number_text(g0) + " at the median), last step " + number_text(step_length);
  }
  const double norm_grad = std::sqrt(dot(grad, grad));
  r.u = u;
  r.beta = (g0 < 0 ? -1.0 : 1.0) * std::sqrt(dot(u, u));
  r.alpha.resize(dimension);
  for (std::size_t i = 0; i < dimension; ++i) r.alpha[i] = -grad[i] / norm_grad;
  return r;
}

}  // namespace tbx
