#pragma once
// The first-order reliability method: the point of the failure surface
// G(u) = 0 nearest the origin of the standard normal space, u_i = Phi^-1(F_i(x_i))
// for each independent variable x_i. Its distance, signed by G at the
// origin, is the index beta_FORM; the direction cosines alpha = u* / beta
// = -grad G / |grad G| there (positive for a load, negative for a
// resistance), and sum alpha_i^2 = 1.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace tbx {

struct FormResult {
  std::string reason;  ///< non-empty where no point was found: why (beta and u then NaN)
  bool converged = false;
  std::string note;    ///< where not converged: the state at the last iteration
  int iterations = 0;
  int evaluations = 0;
  double beta = 0;
  std::vector<double> u, alpha;  ///< the design point and the direction cosines
};

struct FormSettings {
  int max_iterations = 100;
  /// Converged where |G(u)| <= tolerance * |G(0)| and u is parallel to the
  /// gradient to within `tolerance` (1 - cos of the angle).
  double tolerance = 1e-6;
  /// Step of the central differences in standard normal space.
  double step = 1e-4;
};

/// Searches the design point of g over `dimension` standard normal variables
/// by the improved Hasofer-Lind-Rackwitz-Fiessler iteration: the HL-RF step,
/// shortened by halving until the merit 0.5 |u|^2 + c |G(u)| decreases
/// enough (Armijo), with gradients by central differences. A G that is not a
/// number counts as no decrease.
FormResult form_search(const std::function<double(const std::vector<double>& u)>& g, std::size_t dimension,
                       const FormSettings& settings = FormSettings());

}  // namespace tbx
