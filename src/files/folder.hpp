#pragma once
// A folder held open by its descriptor, so that every file of a job is
// found, created and renamed in the same folder, even if that folder is
// renamed or another one takes its name while the job runs.

#include <optional>
#include <string>

namespace tbx {

class Folder {
 public:
  /// Opens the folder at `path` (relative to `at`, an open folder or
  /// AT_FDCWD); nothing if it cannot be opened as a folder.
  static std::optional<Folder> open(const std::string& path, int at);
  ~Folder();
  Folder(Folder&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Folder& operator=(Folder&& other) noexcept;
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  int fd() const { return fd_; }
  /// Whether an entry `name` exists in the folder.
  bool holds(const std::string& name) const;

 private:
  explicit Folder(int fd) : fd_(fd) {}
  int fd_ = -1;
};

/// Writes the entries of the folder open as `fd` to disk; false when that
/// failed. A file system that cannot sync folders, or a folder that could
/// only be opened as a path, is left as it is and gives true.
bool sync_folder(int fd);

/// "dir/sub/job" -> "dir/sub/", "job" -> "", "/job" -> "/".
std::string folder_part(const std::string& path);
/// "dir/sub/job" -> "job".
std::string last_part(const std::string& path);

/// The folder part of `path` opened, "." when it has none.
std::optional<Folder> open_folder_of(const std::string& path);

}  // namespace tbx
