#pragma once
// Which file a job name means: "pier" is pier.dat or pier.toml, "pier.toml"
// names the file itself where there is no pier.toml.toml or pier.toml.dat.

#include <string>

#include "files/folder.hpp"
#include "tbxrun/tbxrun.hpp"

namespace tbxrun::internal {

struct JobFile {
  tbx::Folder folder;    ///< held open: the job's files are found there even if it is renamed
  std::string job_name;  ///< without the extension: "runs/pier"
  std::string base;      ///< "pier"
  Model model = Model::classic;
  std::string file_name() const;  ///< "pier.dat", "pier.toml"
};

/// The job file of `job_name`; where there is none, or two, ends through the
/// fatal path with the program's messages.
JobFile find_job_file(const std::string& job_name);

}  // namespace tbxrun::internal
