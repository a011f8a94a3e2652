#pragma once
// What a loaded job holds: its text, and the job as its reader left it, or
// the reader's error, which a run raises and a check reports.

#include <optional>
#include <string>

#include "fib/fib_job.hpp"
#include "input/job_data.hpp"
#include "input/reader.hpp"
#include "tbxrun/tbxrun.hpp"

struct tbxrun::Job::Impl {
  Model model = Model::classic;
  std::string file_name;  ///< "pier.dat"
  std::string base_name;  ///< "pier"
  std::string job_name;   ///< as given, with its folder: "runs/pier"; the report shows it
  std::string text;       ///< the file's bytes
  /// Whether `text` holds the file's bytes; false where the file could not
  /// be read a second time (a pipe): the summary then names no SHA-256.
  bool text_known = true;
  /// The reader's error, raised by a run; the job fields are then incomplete.
  std::optional<Error> read_error;
  // A classic job, with where each value stood.
  tbx::JobData classic;
  tbx::ReadTrace trace;
  // A fib job.
  tbx::FibJob fib;
};
