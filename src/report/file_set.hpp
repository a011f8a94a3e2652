#pragma once
// The files of one run, put in place together.
//
// Every file of a run (the reports, and the summary files when there are
// any) is written completely to a temporary file first; none takes its name
// before all of them are complete. Each file is flushed to disk as soon as
// its text is final, on a thread of its own, while the run goes on with the
// next one; place() waits for all of them once, then renames them into
// place and flushes the folder once. A failure before then (a full disk, a
// file-size limit, a failed flush) ends the run with every earlier file as
// it was. SIGINT, SIGTERM and SIGHUP wait while the files are renamed, so an
// interrupted run leaves either its earlier files or all of its new ones;
// the files that a run no longer writes (an earlier summary beside reports
// of a run without one) are removed in the same step, before the new files
// take their names.
//
// A set made without syncing leaves the flushing to whoever runs many jobs
// in one folder and syncs it once at the end: files are still complete
// under their final names or not there at all, but a power loss may lose
// what is not yet on disk.

#include <future>
#include <memory>
#include <string>
#include <vector>

#include "report/output_file.hpp"

namespace tbx {

class FileSet {
 public:
  enum class Sync { each_file, none };

  FileSet(int folder_fd, Sync sync);
  ~FileSet();
  FileSet(const FileSet&) = delete;
  FileSet& operator=(const FileSet&) = delete;

  /// A new file of the set, `name` in the set's folder (see OutputFile).
  OutputFile& open(const std::string& name, const std::string& label);
  /// The text of `file` is final: what is left is written and the file
  /// starts on its way to disk.
  void finished(OutputFile& file);
  /// `name` in the set's folder, an earlier file that no longer belongs to
  /// the job's files, goes when the set is put in place (only a regular file
  /// or a symbolic link; anything else there is left alone).
  void remove_when_placed(const std::string& name);
  /// Waits until every file is on disk, then gives each its name, in the
  /// order they were opened, and flushes the folder.
  void place();

 private:
  void wait_for_syncs();

  int folder_fd_;
  Sync sync_;
  std::vector<std::unique_ptr<OutputFile>> files_;
  std::vector<std::string> removed_;
  // After files_: destroyed first, so that no flush outlives its file.
  std::vector<std::pair<OutputFile*, std::future<int>>> syncs_;
};

}  // namespace tbx
