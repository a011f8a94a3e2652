#include "files/owned_file.hpp"

#include <fcntl.h>
#include <unistd.h>

namespace tbx {

OwnedFile open_for_reading(int folder_fd, const std::string& name) {
  const int fd = ::openat(folder_fd, name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  OwnedFile file(::fdopen(fd, "r"));
  if (!file) ::close(fd);
  return file;
}

}  // namespace tbx
