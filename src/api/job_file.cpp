#include "api/job_file.hpp"

#include <optional>

#include "core/fatal.hpp"
#include "fib/fib_job_file.hpp"

namespace tbxrun::internal {

namespace {

using tbx::fatal_error;
using tbx::FatalKind;

constexpr const char* NOT_FOUND = "File not found - jobname_me.dat";

/// The files a run of `job_name` looks for, as the user would type them.
std::string looked_for(const std::string& job_name) {
  return job_name + ".dat and " + job_name + ".toml";
}

/// Ends the run for a job whose file is not there. A plain name keeps the
/// classic message alone, as it always was; a name with a folder or an
/// extension gets a second line naming the files looked for.
[[noreturn]] void job_not_found(const std::string& job_name, const std::string& given_file) {
  if (tbx::folder_part(job_name).empty() && given_file.empty()) fatal_error(FatalKind::not_found, NOT_FOUND);
  fatal_error(FatalKind::not_found, std::string(NOT_FOUND) + "\nLooked for " +
                                        (given_file.empty() ? "" : given_file + ", ") + looked_for(job_name));
}

// The job's folder, held open: the job file, the lock and the reports are
// found there even if the folder is renamed during the run.
tbx::Folder open_job_folder(const std::string& job_name) {
  std::optional<tbx::Folder> folder = tbx::open_folder_of(job_name);
  if (!folder) {
    fatal_error(FatalKind::not_found, std::string(NOT_FOUND) + "\nLooked for " + looked_for(job_name) +
                                          ": the folder " + tbx::folder_part(job_name) + " cannot be opened");
  }
  return std::move(*folder);
}

/// The extension of a job file at the end of `name` (".dat", ".toml"), or
/// empty.
std::string job_extension(const std::string& name) {
  for (const char* ext : {".dat", ".toml"}) {
    const std::string e = ext;
    if (name.size() > e.size() && name.compare(name.size() - e.size(), e.size(), e) == 0) return e;
  }
  return "";
}

}  // namespace

std::string JobFile::file_name() const {
  return model == Model::classic ? base + ".dat" : tbx::fib_job_file_name(base);
}

JobFile find_job_file(const std::string& given_name) {
  JobFile file{open_job_folder(given_name), given_name, tbx::last_part(given_name), Model::classic};
  bool classic = file.folder.holds(file.base + ".dat");
  bool fib = file.folder.holds(tbx::fib_job_file_name(file.base));
  // A job given by its file's name ("pier.toml") runs that file, where
  // there is no job of the name itself ("pier.toml.dat").
  const std::string ext = job_extension(file.base);
  std::string given_file;
  if (!classic && !fib && !ext.empty()) {
    given_file = given_name;
    if (file.folder.holds(file.base)) {
      file.job_name.resize(file.job_name.size() - ext.size());
      file.base.resize(file.base.size() - ext.size());
      classic = ext == ".dat";
      fib = !classic;
    }
  }
  if (classic && fib) {
    fatal_error(FatalKind::usage, "Two job files - " + file.base + ".dat and " + tbx::fib_job_file_name(file.base) +
                                      "; keep the one to run");
  }
  if (!classic && !fib) job_not_found(file.job_name, given_file);
  file.model = classic ? Model::classic : Model::fib;
  return file;
}

}  // namespace tbxrun::internal
