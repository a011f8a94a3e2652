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
                 const std::string& job_name, std::FILE* err, Wait wait)
    : dir_fd_(folder.fd()), lock_name_(file_name(base)), wait_(wait) {
  take_lock_file(lock_name_, job_name, err);
  const int fd = ::openat(dir_fd_, job_file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;  // the run then fails on reading it
  try {
    if (lock(fd, job_name, err)) {
      job_fd_ = fd;
    } else {
      ::close(fd);
    }
  } catch (const JobBusy&) {
    release();  // no destructor runs for a constructor that throws
    throw;
  }
}

void JobLock::take_lock_file(const std::string& name, const std::string& job_name, std::FILE* err) {
  for (;;) {
    int fd = ::openat(dir_fd_, name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    // A lock file one may not write still locks; it names no holder.
    if (fd < 0 && errno == EACCES) fd = ::openat(dir_fd_, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
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
      const std::string pid = std::to_string(::getpid()) + "\n";
      if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, pid.data(), pid.size(), 0) < 0) {
        // Only a message depends on it.
      }
      return;
    }
    ::close(fd);
  }
}

bool JobLock::lock(int fd, const std::string& job_name, std::FILE* err) {
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
  if (errno != EWOULDBLOCK) return false;
  if (wait_ == Wait::no) {
    ::close(fd);
    throw JobBusy("Another run of " + job_name + holder() + " holds the job; not waiting (--no-wait)");
  }
  if (!said_waiting_) {
    std::fprintf(err, "Waiting for another run of %s%s\n", job_name.c_str(), holder().c_str());
    std::fflush(err);
    said_waiting_ = true;
  }
  for (;;) {
    if (::flock(fd, LOCK_EX) == 0) return true;
    if (errno != EINTR) return false;
  }
}

std::string JobLock::holder() const {
  const int fd = ::openat(dir_fd_, lock_name_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return "";
  char text[24] = "";
  const ssize_t n = ::read(fd, text, sizeof text - 1);
  ::close(fd);
  if (n <= 1 || text[n - 1] != '\n') return "";
  for (ssize_t i = 0; i + 1 < n; ++i) {
    if (text[i] < '0' || text[i] > '9') return "";
  }
  return " (process " + std::string(text, static_cast<std::size_t>(n - 1)) + ")";
}

JobLock::~JobLock() { release(); }

void JobLock::release() {
  // Removed while still held, so that a run waiting on this file sees that
  // it is gone and takes a fresh one.
  if (!name_.empty()) ::unlinkat(dir_fd_, name_.c_str(), 0);
  remove_on_signal_.reset();
  if (job_fd_ >= 0) ::close(job_fd_);
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace tbx
