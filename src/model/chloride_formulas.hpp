#pragma once
// The chloride-ingress model of one simulation, split into the part that does
// not depend on the exposure time t and the part that does, so that a series
// of time points can reuse the first. Evaluated piece by piece, the formulas
// keep exactly the order of operations of the whole:
//
//   m     = 1 - n
//   r     = te / 365 / t
//   age   = ((1 + r)^m - r^m) * (to / 365 / t)^n
//   temp  = exp((1/293 - 1/(273 + T)) * 4209.6147601120965)
//   Dt    = Dcoef / m * temp / 1e12 * 365 * 24 * 3600 * t
//   S     = sqrt(Dt * age) * (2 * erfinv(1 - Ccr / Cs)) * 1000 * model_factor
//
// Dcoef is in 1e-12 m2/s, t in years, te and to in days, T in degrees Celsius,
// S in mm. The temperature factor is an Arrhenius term: activation energy
// 35000 J/mol over the gas constant 8.3143 J/(mol K), reference 293 K.

#include <cmath>

#include "prob/inverse_error_function.hpp"

namespace tbx {

inline double temperature_factor(double temp) {
  return std::exp((1.0 / 293 - 1.0 / (273 + temp)) * 4209.6147601120965);
}

/// 2 * erfinv(1 - Ccr / Cs): the depth of the critical content in units of
/// sqrt(Dt).
inline double depth_factor(double ccr, double cs) {
  double y = 1 - ccr / cs;
  inverse_error_function(y);
  return 2 * y;
}

/// Dcoef / m * temp / 1e12 * 365 * 24 * 3600: Dt is this times t.
inline double diffusion_prefix(double dcoef, double m, double temp_factor) {
  return dcoef / m * temp_factor / 1e12 * 365 * 24 * 3600;
}

/// The age factor, with te and to already divided by 365.
inline double age_factor(double te_years, double to_years, double m, double n, double t) {
  const double r = te_years / t;
  const double first = std::pow(1 + r, m);
  const double second = std::pow(r, m);
  return (first - second) * std::pow(to_years / t, n);
}

/// The load S, in mm.
inline double chloride_load(double prefix, double t, double age, double depth, double model_factor) {
  const double dt = prefix * t;
  return std::sqrt(dt * age) * depth * 1000 * model_factor;
}

/// Whether a sampled Dcoef triggers the negative-coefficient warning.
inline bool dcoef_negative(double dcoef) { return !(dcoef >= 0); }

}  // namespace tbx
