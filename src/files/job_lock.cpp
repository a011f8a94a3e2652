#include "files/job_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tbx {

namespace {

bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

std::string JobLock::file_name(const std::string& base) { return "." + base + ".tbxrun-lock"; }

JobLock::JobLock(const Folder& folder, const std::string& base, const std::string& job_file,
                 const std::string& job_name, std::FILE* err)
    : dir_fd_(folder.fd()) {
  take_lock_file(file_name(base), job_name, err);
  const int fd = ::openat(dir_fd_, job_file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;  // the run then fails on reading it
  if (lock(fd, job_name, err)) {
    job_fd_ = fd;
  } else {
    ::close(fd);
  }
}

void JobLock::take_lock_file(const std::string& name, const std::string& job_name, std::FILE* err) {
  for (;;) {
    const int fd = ::openat(dir_fd_, name.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return;
    if (!lock(fd, job_name, err)) {
      ::close(fd);
      return;
    }
    // The holder before us may have removed the file as it let go, and a
    // third run may have made a new one: only the file under the name counts.
    struct stat held {};
    struct stat named {};
    if (::fstat(fd, &held) == 0 && ::fstatat(dir_fd_, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        same_file(held, named)) {
      fd_ = fd;
      name_ = name;
      remove_on_signal_.emplace(dir_fd_, name_);
      return;
    }
    ::close(fd);
  }
}

bool JobLock::lock(int fd, const std::string& job_name, std::FILE* err) {
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
  if (errno != EWOULDBLOCK) return false;
  if (!said_waiting_) {
    std::fprintf(err, "Waiting for another run of %s\n", job_name.c_str());
    std::fflush(err);
    said_waiting_ = true;
  }
  for (;;) {
    if (::flock(fd, LOCK_EX) == 0) return true;
    if (errno != EINTR) return false;
  }
}

JobLock::~JobLock() {
  // Removed while still held, so that a run waiting on this file sees that
  // it is gone and takes a fresh one.
  if (!name_.empty()) ::unlinkat(dir_fd_, name_.c_str(), 0);
  remove_on_signal_.reset();
  if (job_fd_ >= 0) ::close(job_fd_);
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace tbx
