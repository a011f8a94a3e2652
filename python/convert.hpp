#pragma once
// The library's data as Python objects: findings and warnings as dicts, the
// series as numpy arrays, tbxrun::Error as tbxrun.Error.

#include <pybind11/pybind11.h>

#include <vector>

#include "tbxrun/tbxrun.hpp"

namespace tbxpy {

/// {"severity": "error" or "warning", "file", "line", "field", "value",
/// "expected", "fix", "message"}
pybind11::dict finding_dict(const tbxrun::Finding& finding);
pybind11::list finding_list(const std::vector<tbxrun::Finding>& findings);

/// {"kind", "point", "simulation", "value", "message"}
pybind11::list warning_list(const std::vector<tbxrun::Warning>& warnings);

/// The series as numpy arrays, probabilities as fractions: "times",
/// "failures", "pf", "pf_se", "beta_cornell", and from the summary's time
/// points "pf_low", "pf_high" (the interval of pf) and "beta" (-Phi^-1(pf),
/// infinite at pf 0 or 1); NaN throughout where the results hold no summary.
pybind11::dict series_arrays(const tbxrun::Results& results);

/// Sets tbxrun.Error (a class of the package's Python part) as the Python
/// error for `error`, as an exception translator does.
void set_python_error(const tbxrun::Error& error);

}  // namespace tbxpy
