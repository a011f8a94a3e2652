#include "report/output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "core/fatal.hpp"
#include "core/parallel.hpp"

namespace tbx {

namespace {

std::string directory_of(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool exists_unwritable(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) || ::access(path.c_str(), W_OK) != 0;
}

}  // namespace

OutputFile::OutputFile(std::string path, std::string label)
    : path_(std::move(path)), label_(std::move(label)) {
  // A report in the way that could not be overwritten is refused before any
  // work is done, as opening it for writing would be.
  if (exists_unwritable(path_)) fail("Unable to open output file - ");
  const std::string dir = directory_of(path_);
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temp_path_ = dir + ".tbxrun-" + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
    fd_ = ::open(temp_path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    temp_path_.clear();
    fail("Unable to open output file - ");
  }
  text_.reserve(FLUSH_SIZE + APPEND_ROOM);
  prepare_pages(text_.data(), text_.capacity());
}

OutputFile::~OutputFile() { discard(); }

void OutputFile::flush() {
  const char* p = text_.data();
  std::size_t left = text_.size();
  while (left > 0) {
    const ssize_t n = ::write(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail("Unable to write output file - ");
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  text_.clear();
}

void OutputFile::commit() {
  flush();
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) fail("Unable to write output file - ");
  if (::rename(temp_path_.c_str(), path_.c_str()) != 0) fail("Unable to open output file - ");
  temp_path_.clear();
}

void OutputFile::fail(const char* what) {
  discard();
  fatal_error(std::string(what) + label_, 0);
}

void OutputFile::discard() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_path_.empty()) ::unlink(temp_path_.c_str());
  temp_path_.clear();
}

}  // namespace tbx
