#include "report/file_set.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "core/fatal.hpp"
#include "files/folder.hpp"
#include "files/remove_on_signal.hpp"

namespace tbx {

namespace {

// 0, or the error of the failed flush.
int flush_to_disk(int fd) { return ::fsync(fd) == 0 ? 0 : errno; }

}  // namespace

FileSet::FileSet(int folder_fd, Sync sync) : folder_fd_(folder_fd), sync_(sync) {}

FileSet::~FileSet() {
  // A run that fails waits for the flushes still going on before its
  // temporary files are closed and removed.
  for (auto& sync : syncs_) {
    if (sync.second.valid()) sync.second.wait();
  }
}

OutputFile& FileSet::open(const std::string& name, const std::string& label) {
  files_.push_back(std::make_unique<OutputFile>(folder_fd_, name, label));
  if (sync_ == Sync::each_file) files_.back()->start_writeback();
  return *files_.back();
}

void FileSet::finished(OutputFile& file) {
  file.finish();
  if (sync_ == Sync::none) return;
  const int fd = file.fd();
  std::future<int> done;
  try {
    done = std::async(std::launch::async, flush_to_disk, fd);
  } catch (const std::system_error&) {
    // No thread to be had (a tight memory limit): flushed when the set is
    // put in place.
    done = std::async(std::launch::deferred, flush_to_disk, fd);
  }
  syncs_.emplace_back(&file, std::move(done));
}

void FileSet::remove_when_placed(const std::string& name) { removed_.push_back(name); }

void FileSet::wait_for_syncs() {
  OutputFile* failed = nullptr;
  for (auto& sync : syncs_) {
    if (sync.second.get() != 0 && !failed) failed = sync.first;
  }
  syncs_.clear();
  if (failed) failed->fail_to_write();
}

void FileSet::place() {
  wait_for_syncs();
  const SignalsDeferred signals_wait;
  // The files no longer written go first: a run ended outright (SIGKILL,
  // a power loss) half way leaves fewer files, never a mix of two runs.
  for (const std::string& name : removed_) {
    struct stat st {};
    if (::fstatat(folder_fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) continue;
    if (::unlinkat(folder_fd_, name.c_str(), 0) != 0 && errno != ENOENT) {
      fatal_error(FatalKind::io, "Unable to remove earlier output file - " + name);
    }
  }
  for (const auto& file : files_) file->place();
  if (sync_ == Sync::each_file) {
    // Once per folder: a report written through a link may go elsewhere.
    std::vector<int> synced;
    for (const auto& file : files_) {
      const int fd = file->folder_fd();
      if (std::find(synced.begin(), synced.end(), fd) != synced.end()) continue;
      if (!sync_folder(fd)) file->fail_to_write();
      synced.push_back(fd);
    }
  }
  files_.clear();
}

}  // namespace tbx
