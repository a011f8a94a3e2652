#pragma once
// A C stream that closes itself, and the opening of one inside a folder held
// open by its descriptor.

#include <cstdio>
#include <memory>
#include <string>

namespace tbx {

struct FileCloser {
  void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};
using OwnedFile = std::unique_ptr<std::FILE, FileCloser>;

/// The file `name` of the folder open as `folder_fd`, for reading; empty
/// where it cannot be opened.
OwnedFile open_for_reading(int folder_fd, const std::string& name);

}  // namespace tbx
