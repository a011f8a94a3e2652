#pragma once
// One run of a job at a time.
//
// A run holds an exclusive flock() on the lock file ".JOB.tbxrun-lock" in the
// job's folder from before it reads the job file until its last report is in
// place; a second run of the same job waits for it. The name is made from the
// job's own name, so different jobs never share a lock, and it cannot be
// taken for a file of any job (those end in ".dat" or ".toml"). The file
// exists only while a run holds it: the holder removes it before letting go.
//
// The job file itself (JOB.dat or JOB.toml, whichever the run reads) is
// locked as well, after the lock file: where the lock file cannot be created
// (a folder one may not write, a name too long) that lock alone keeps two
// runs apart, also from a run that could create it.
//
// The holder writes its process id into the lock file, so that a run that
// finds the job taken can say which process holds it; with --no-wait such a
// run does not wait but ends at once with JOB_BUSY_EXIT_STATUS.

#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>

#include "files/folder.hpp"
#include "files/remove_on_signal.hpp"

namespace tbx {

/// Exit status of a run refused because another run holds its job and it
/// was told not to wait (EX_TEMPFAIL of sysexits.h: try again later).
inline constexpr int JOB_BUSY_EXIT_STATUS = 75;

/// Thrown instead of waiting; what() is the message.
class JobBusy : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class JobLock {
 public:
  enum class Wait { yes, no };
  /// Takes the lock of job `base`, whose file in `folder` is `job_file`; if
  /// another run holds it, writes "Waiting for another run of <job_name>
  /// (process <pid>)" to `err` once and waits, or with Wait::no throws
  /// JobBusy.
  JobLock(const Folder& folder, const std::string& base, const std::string& job_file,
          const std::string& job_name, std::FILE* err = stderr, Wait wait = Wait::yes);
  ~JobLock();
  JobLock(const JobLock&) = delete;
  JobLock& operator=(const JobLock&) = delete;

  /// The lock file's name for job `base`.
  static std::string file_name(const std::string& base);

 private:
  void take_lock_file(const std::string& name, const std::string& job_name, std::FILE* err);
  /// Whether fd is now locked; with Wait::no, closes fd and throws JobBusy
  /// where another run holds it.
  bool lock(int fd, const std::string& job_name, std::FILE* err);
  void release();
  /// " (process 1234)" from the lock file, or empty where it names none.
  std::string holder() const;

  int dir_fd_;
  std::string lock_name_;
  Wait wait_;
  std::string name_;        // empty unless the lock file is ours to remove
  int fd_ = -1;
  int job_fd_ = -1;
  bool said_waiting_ = false;
  std::optional<RemoveOnSignal> remove_on_signal_;
};

}  // namespace tbx
