#include "report/output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "core/fatal.hpp"
#include "core/pages.hpp"
#include "files/crc32.hpp"

namespace tbx {

namespace {

constexpr const char* UNABLE_TO_OPEN = "Unable to open output file - ";
constexpr const char* UNABLE_TO_WRITE = "Unable to write output file - ";
// As many links in a row as the kernel follows in a path.
constexpr int MAX_LINKS = 40;
constexpr int MAX_TEMPORARY_NAMES = 100;
// Writeback is started in pieces of this size.
constexpr std::uint64_t WRITEBACK_SIZE = 1 << 20;

std::string temporary_name(int attempt) {
  return ".tbxrun-" + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
}

std::string proc_path(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// Follows `name` in the folder `dir` through symbolic links, as opening it
// would, to the file or missing name at the end. A link's target in another
// folder opens that folder into `target_folder`; `target` is the last link's
// text. False if the chain cannot be followed; `exists` and `st` then
// describe where it ends.
bool follow_links(int& dir, std::string& name, std::optional<Folder>& target_folder, std::string& target_text,
                  bool& exists, struct stat& st) {
  for (int level = 0; level <= MAX_LINKS; ++level) {
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      exists = false;
      return errno == ENOENT;
    }
    exists = true;
    if (!S_ISLNK(st.st_mode)) return true;
    char target[PATH_MAX + 1];
    const ssize_t n = ::readlinkat(dir, name.c_str(), target, sizeof target);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) return false;
    const std::string path(target, static_cast<std::size_t>(n));
    target_text = path;
    const std::string folder = folder_part(path);
    if (!folder.empty()) {
      auto next = Folder::open(folder, dir);
      if (!next) return false;
      target_folder = std::move(next);
      dir = target_folder->fd();
    }
    name = last_part(path);
    if (name.empty()) return false;
  }
  return false;
}

// Whether a file without a name can be given one through /proc, which any
// user may do. (Linking the descriptor itself needs a privilege that even
// root may lack in a container; it is only a second try.)
bool can_link(int fd) {
  struct stat by_proc {};
  struct stat by_fd {};
  return ::stat(proc_path(fd).c_str(), &by_proc) == 0 && ::fstat(fd, &by_fd) == 0 &&
         by_proc.st_ino == by_fd.st_ino && by_proc.st_dev == by_fd.st_dev;
}

const char* kind_of_file(mode_t mode) {
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

// A device, FIFO or socket is never replaced by a report, nor written to: a
// report is a file of its own. (Nothing is open yet when this is asked.)
void refuse_if_special(const std::string& name, const std::string& target, const struct stat& st,
                       const std::string& label) {
  if (S_ISREG(st.st_mode)) return;
  const std::string what = target.empty() ? name + " is " : name + " leads to " + target + ", ";
  fatal_error(FatalKind::io, UNABLE_TO_OPEN + label + "\n" + what + kind_of_file(st.st_mode) + ", not a regular file");
}

}  // namespace

OutputFile::OutputFile(int folder_fd, const std::string& name, std::string label, Temporary temporary)
    : label_(std::move(label)) {
  open(folder_fd, name, temporary);
}

OutputFile::OutputFile(const std::string& path, std::string label) : label_(std::move(label)) {
  path_folder_ = open_folder_of(path);
  if (!path_folder_) fail(UNABLE_TO_OPEN);
  open(path_folder_->fd(), last_part(path), Temporary::unnamed_where_possible);
}

void OutputFile::check_writable(int folder_fd, const std::string& name, const std::string& label) {
  OutputFile probe(folder_fd, name, label);
}

void OutputFile::refuse_special_file(int folder_fd, const std::string& name, const std::string& label) {
  int dir = folder_fd;
  std::string followed = name;
  std::optional<Folder> target_folder;
  std::string target;
  bool exists = false;
  struct stat st {};
  if (follow_links(dir, followed, target_folder, target, exists, st) && exists && !S_ISDIR(st.st_mode)) {
    refuse_if_special(name, target, st, label);
  }
}

void OutputFile::open(int folder_fd, const std::string& name, Temporary temporary) {
  dir_fd_ = folder_fd;
  name_ = name;
  bool exists = false;
  struct stat st {};
  std::string target;
  if (name_.empty() || !follow_links(dir_fd_, name_, target_folder_, target, exists, st)) fail(UNABLE_TO_OPEN);
  // A file in the way that could not be overwritten is refused before any
  // work is done, as opening it for writing would be.
  if (exists && (S_ISDIR(st.st_mode) || ::faccessat(dir_fd_, name_.c_str(), W_OK, 0) != 0)) {
    fail(UNABLE_TO_OPEN);
  }
  if (exists) refuse_if_special(name, target, st, label_);
  if (exists && S_ISREG(st.st_mode)) {
    replaces_ = true;
    mode_ = st.st_mode & 07777;
    uid_ = st.st_uid;
    gid_ = st.st_gid;
  }

  if (temporary == Temporary::unnamed_where_possible) {
    fd_ = ::openat(dir_fd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd_ >= 0 && !can_link(fd_)) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  for (int attempt = 0; attempt < MAX_TEMPORARY_NAMES && fd_ < 0; ++attempt) {
    temp_name_ = temporary_name(attempt);
    // Registered first: a signal right after the file is made removes it.
    remove_on_signal_.emplace(dir_fd_, temp_name_);
    fd_ = ::openat(dir_fd_, temp_name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0) {
      const int error = errno;
      remove_on_signal_.reset();
      temp_name_.clear();
      if (error != EEXIST) break;
    }
  }
  if (fd_ < 0) fail(UNABLE_TO_OPEN);
  keep_mode_and_owner();
  text_.reserve(FLUSH_SIZE + APPEND_ROOM);
  prepare_pages(text_.data(), text_.capacity());
}

OutputFile::~OutputFile() { discard(); }

void OutputFile::keep_mode_and_owner() const {
  if (!replaces_) return;
  // Owner and group where this user may give them, else the group alone;
  // the mode last, as a change of owner may clear some of its bits.
  if (::fchown(fd_, uid_, gid_) != 0) {
    if (::fchown(fd_, static_cast<uid_t>(-1), gid_) != 0) {
      // The new file keeps the running user's owner and group.
    }
  }
  if (::fchmod(fd_, mode_) != 0) {
    // Only a file system without modes refuses this; its mode is its own.
  }
}

void OutputFile::flush() {
  if (keep_checksum_) crc_ = crc32(crc_, text_.data(), text_.size());
  size_ += text_.size();
  const char* p = text_.data();
  std::size_t left = text_.size();
  while (left > 0) {
    const ssize_t n = ::write(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail(UNABLE_TO_WRITE);
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  text_.clear();
  if (writeback_ && size_ - written_back_ >= WRITEBACK_SIZE) {
    // Only a request: the disk takes the pages while the run goes on. A file
    // system that cannot do this is flushed all at once later.
    if (::sync_file_range(fd_, static_cast<off64_t>(written_back_), static_cast<off64_t>(size_ - written_back_),
                          SYNC_FILE_RANGE_WRITE) != 0) {
      writeback_ = false;
    }
    written_back_ = size_;
  }
}

void OutputFile::link_into_place() {
  // An unnamed file cannot be linked over an existing name: it gets a
  // hidden name first, which is then renamed onto the final one.
  for (int attempt = 0; attempt < MAX_TEMPORARY_NAMES; ++attempt) {
    const std::string name = temporary_name(attempt);
    remove_on_signal_.emplace(dir_fd_, name);
    int linked = ::linkat(AT_FDCWD, proc_path(fd_).c_str(), dir_fd_, name.c_str(), AT_SYMLINK_FOLLOW);
    if (linked != 0 && errno != EEXIST) linked = ::linkat(fd_, "", dir_fd_, name.c_str(), AT_EMPTY_PATH);
    if (linked == 0) {
      temp_name_ = name;
      return;
    }
    const int error = errno;
    remove_on_signal_.reset();
    if (error != EEXIST) break;
  }
  fail(UNABLE_TO_OPEN);
}

void OutputFile::commit() {
  finish();
  // On disk before it takes the name: after a power loss the name holds
  // either the earlier file or the whole new one.
  if (::fsync(fd_) != 0) fail_to_write();
  place();
  if (!sync_folder(dir_fd_)) fail_to_write();
}

void OutputFile::finish() { flush(); }

void OutputFile::place() {
  if (temp_name_.empty()) link_into_place();
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) fail(UNABLE_TO_WRITE);
  // What took the name while the run went on is checked again: only a
  // regular file is ever replaced.
  struct stat st {};
  if (::fstatat(dir_fd_, name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(st.st_mode)) {
    fail(UNABLE_TO_OPEN);
  }
  if (::renameat(dir_fd_, temp_name_.c_str(), dir_fd_, name_.c_str()) != 0) fail(UNABLE_TO_OPEN);
  temp_name_.clear();
  remove_on_signal_.reset();
}

void OutputFile::fail_to_write() { fail(UNABLE_TO_WRITE); }

void OutputFile::fail(const char* what, const std::string& detail) {
  discard();
  fatal_error(FatalKind::io, std::string(what) + label_ + detail);
}

void OutputFile::discard() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_name_.empty()) ::unlinkat(dir_fd_, temp_name_.c_str(), 0);
  temp_name_.clear();
  remove_on_signal_.reset();
}

}  // namespace tbx
