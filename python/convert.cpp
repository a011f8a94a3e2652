#include "convert.hpp"

#include <pybind11/numpy.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>

namespace py = pybind11;

namespace tbxpy {

namespace {

const char* severity_name(tbxrun::Finding::Severity severity) {
  switch (severity) {
    case tbxrun::Finding::Severity::error: return "error";
    case tbxrun::Finding::Severity::warning: return "warning";
  }
  return "error";
}

const char* error_kind_name(tbxrun::Error::Kind kind) {
  switch (kind) {
    case tbxrun::Error::Kind::not_found: return "not_found";
    case tbxrun::Error::Kind::invalid_job: return "invalid_job";
    case tbxrun::Error::Kind::usage: return "usage";
    case tbxrun::Error::Kind::busy: return "busy";
    case tbxrun::Error::Kind::out_of_memory: return "out_of_memory";
    case tbxrun::Error::Kind::io: return "io";
    case tbxrun::Error::Kind::cancelled: return "cancelled";
    case tbxrun::Error::Kind::failed: return "failed";
  }
  return "failed";
}

const char* warning_kind_name(tbxrun::Warning::Kind kind) {
  switch (kind) {
    case tbxrun::Warning::Kind::negative_diffusion: return "negative_diffusion";
    case tbxrun::Warning::Kind::beta_not_a_number: return "beta_not_a_number";
    case tbxrun::Warning::Kind::other: return "other";
  }
  return "other";
}

template <typename T>
py::array_t<T> array_of(std::size_t n, const std::function<T(std::size_t)>& value) {
  py::array_t<T> array(static_cast<py::ssize_t>(n));
  auto out = array.template mutable_unchecked<1>();
  for (std::size_t i = 0; i < n; ++i) out(static_cast<py::ssize_t>(i)) = value(i);
  return array;
}

template <typename T>
py::array_t<T> array_of(const std::vector<T>& values) {
  return py::array_t<T>(static_cast<py::ssize_t>(values.size()), values.data());
}

std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

py::dict finding_dict(const tbxrun::Finding& f) {
  py::dict d;
  d["severity"] = severity_name(f.severity);
  d["file"] = f.file;
  d["line"] = f.line;
  d["field"] = f.field;
  d["value"] = f.value;
  d["expected"] = f.expected;
  d["fix"] = f.fix;
  d["message"] = f.message;
  return d;
}

py::list finding_list(const std::vector<tbxrun::Finding>& findings) {
  py::list list;
  for (const tbxrun::Finding& f : findings) list.append(finding_dict(f));
  return list;
}

py::list warning_list(const std::vector<tbxrun::Warning>& warnings) {
  py::list list;
  for (const tbxrun::Warning& w : warnings) {
    py::dict d;
    d["kind"] = warning_kind_name(w.kind);
    d["point"] = w.point;
    d["simulation"] = w.simulation;
    d["value"] = w.value;
    d["message"] = w.message;
    list.append(std::move(d));
  }
  return list;
}

py::dict series_arrays(const tbxrun::Results& r) {
  const std::size_t n = r.times.size();
  // The summary's time points, or none: every column read from them is NaN.
  const std::vector<tbxrun::TimePointSummary>* points =
      r.summary && r.summary->time_points.size() == n ? &r.summary->time_points : nullptr;
  const auto from_summary = [&](double tbxrun::TimePointSummary::*member, double divisor) {
    return array_of<double>(n, [&](std::size_t i) {
      return points ? (*points)[i].*member / divisor : std::numeric_limits<double>::quiet_NaN();
    });
  };
  py::dict d;
  d["times"] = array_of(r.times);
  d["failures"] = array_of(r.failures);
  d["pf"] = array_of(r.pf);
  d["pf_se"] = array_of(r.pf_se);
  d["beta_cornell"] = array_of(r.beta_cornell);
  // The summary holds percent; the arrays hold fractions, as pf does.
  d["pf_low"] = from_summary(&tbxrun::TimePointSummary::pf_low, 100.0);
  d["pf_high"] = from_summary(&tbxrun::TimePointSummary::pf_high, 100.0);
  d["beta"] = from_summary(&tbxrun::TimePointSummary::beta, 1.0);
  return d;
}

void set_python_error(const tbxrun::Error& error) {
  const tbxrun::Finding& finding = error.finding();
  const std::string message = trimmed(finding.message.empty() ? std::string(error.what()) : finding.message);
  py::object type = py::module_::import("tbxrun").attr("Error");
  py::object value = type(message, error_kind_name(error.kind()), finding_dict(finding), error.report());
  PyErr_SetObject(type.ptr(), value.ptr());
}

}  // namespace tbxpy
