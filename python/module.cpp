// tbxrun._tbxrun: the library for the Python package `tbxrun`, which holds
// the interface users call (tbxrun/__init__.py). This part keeps to what
// needs C++: the job, the run without the GIL, the results as arrays.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <exception>
#include <optional>
#include <string>
#include <utility>

#include "convert.hpp"
#include "python_observer.hpp"
#include "tbxrun/tbxrun.hpp"

namespace py = pybind11;

namespace tbxpy {

namespace {

// What a run gives back besides the results themselves.
struct Run {
  tbxrun::Results results;
  py::list warnings;
};

Run run(const tbxrun::Job& job, int threads, std::optional<double> target_beta,
        std::optional<double> design_life, py::object progress) {
  tbxrun::Settings settings;
  settings.threads = threads;
  settings.target_beta = target_beta;
  settings.design_life = design_life;
  PythonObserver observer(std::move(progress));
  std::optional<tbxrun::Results> results;
  try {
    py::gil_scoped_release release;
    results = tbxrun::run(job, settings, &observer);
  } catch (const tbxrun::Error&) {
    // A run the observer cancelled ends by what Python raised (Ctrl-C's
    // KeyboardInterrupt, an exception of the progress callable).
    observer.raise_pending();
    throw;
  }
  observer.raise_pending();
  return Run{std::move(*results), warning_list(observer.warnings())};
}

void write(const tbxrun::Job& job, const Run& run, const std::string& folder) {
  py::gil_scoped_release release;
  tbxrun::write(job, run.results, folder);
}

}  // namespace

}  // namespace tbxpy

PYBIND11_MODULE(_tbxrun, m) {
  using tbxpy::Run;
  m.doc() = "The C++ part of the tbxrun package; use the package itself (import tbxrun).";

  py::register_exception_translator([](std::exception_ptr error) {
    try {
      if (error) std::rethrow_exception(error);
    } catch (const tbxrun::Error& e) {
      tbxpy::set_python_error(e);
    }
  });

  py::class_<tbxrun::Job>(m, "Job")
      .def_static("load", &tbxrun::Job::load, py::arg("path"), py::call_guard<py::gil_scoped_release>())
      .def_static("from_text", &tbxrun::Job::from_text, py::arg("text"), py::arg("name"),
                  py::call_guard<py::gil_scoped_release>())
      .def_property_readonly("model",
                             [](const tbxrun::Job& job) {
                               return job.model() == tbxrun::Model::fib ? "fib" : "classic";
                             })
      .def_property_readonly("file_name", &tbxrun::Job::file_name);

  py::class_<Run>(m, "Run")
      .def_property_readonly("arrays", [](const Run& r) { return tbxpy::series_arrays(r.results); })
      .def_property_readonly("warnings", [](const Run& r) { return r.warnings; })
      .def_property_readonly("simulations", [](const Run& r) { return r.results.simulations; })
      .def_property_readonly("seed", [](const Run& r) { return r.results.seed; })
      .def_property_readonly("summary_json", [](const Run& r) { return tbxrun::summary_json(r.results); });

  m.def("check", [](const tbxrun::Job& job) { return tbxpy::finding_list(tbxrun::check(job)); },
        py::arg("job"));
  m.def("run", &tbxpy::run, py::arg("job"), py::arg("threads"), py::arg("target_beta"),
        py::arg("design_life"), py::arg("progress"));
  m.def("write", &tbxpy::write, py::arg("job"), py::arg("run"), py::arg("folder"));
  m.def("version", &tbxrun::version);
}
