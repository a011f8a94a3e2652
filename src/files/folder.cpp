#include "files/folder.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace tbx {

std::optional<Folder> Folder::open(const std::string& path, int at) {
  const std::string name = path.empty() ? "." : path;
  int fd = ::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) return Folder(fd);
  // A folder one may enter but not list still holds files one may write.
  if (errno != EACCES) return std::nullopt;
  fd = ::openat(at, name.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  return Folder(fd);
}

bool Folder::holds(const std::string& name) const { return ::faccessat(fd_, name.c_str(), F_OK, 0) == 0; }

Folder::~Folder() {
  if (fd_ >= 0) ::close(fd_);
}

Folder& Folder::operator=(Folder&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool sync_folder(int fd) {
  return ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS || errno == EBADF;
}

std::string folder_part(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string last_part(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::optional<Folder> open_folder_of(const std::string& path) {
  return Folder::open(folder_part(path), AT_FDCWD);
}

}  // namespace tbx
