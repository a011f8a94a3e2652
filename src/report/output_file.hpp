#pragma once
// A report file that appears under its name only when it is complete.
//
// The text goes to a file without a name (O_TMPFILE) in the target's folder,
// which is flushed to disk and then linked into place: under a hidden
// temporary name first, renamed onto the final name, so that an earlier
// report is replaced in one step. A run that ends any way before that,
// SIGKILL included, leaves nothing behind. Where the file system has no
// unnamed files the text goes to a named hidden temporary file instead,
// which a failure, and SIGINT, SIGTERM or SIGHUP, remove.
//
// A report name that is a symbolic link is written through it, as an
// ordinary open would: the file goes beside the link's target and replaces
// it (a dangling link gets its target made). Only a regular file is ever
// replaced: a name that is, or leads to, a directory, device, FIFO or socket
// is refused when the file is opened. A report that replaces an
// earlier one keeps that file's mode and, where permitted, its owner and
// group. Any failure removes the temporary file and ends the run, so a
// report under its final name is always whole, and an earlier complete
// report of the same name stays untouched until the new one is.

#include <cstdint>
#include <optional>
#include <string>

#include "files/folder.hpp"
#include "files/remove_on_signal.hpp"
#include "report/text_sink.hpp"

namespace tbx {

class OutputFile : public TextSink {
 public:
  /// How the text is kept until commit().
  enum class Temporary { unnamed_where_possible, named };

  /// The file `name` in the folder `folder_fd`. `label` names the file in
  /// messages ("jobname_rs.dat").
  OutputFile(int folder_fd, const std::string& name, std::string label,
             Temporary temporary = Temporary::unnamed_where_possible);
  /// The file at `path`.
  OutputFile(const std::string& path, std::string label);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  /// Ends the run as opening `name` in `folder_fd` for writing would, if it
  /// would; leaves nothing behind.
  static void check_writable(int folder_fd, const std::string& name, const std::string& label);
  /// Ends the run, as opening it would, if `name` in `folder_fd` is or leads
  /// to a device, FIFO or socket; anything else is left to the opening.
  static void refuse_special_file(int folder_fd, const std::string& name, const std::string& label);

  /// Text appended to text() is written out by flush_if_full() and commit().
  void flush_if_full() override {
    if (text_.size() >= FLUSH_SIZE) flush();
  }
  /// Writes what is left, flushes the file to disk, puts it in place and
  /// flushes its folder.
  void commit();

  /// The steps of commit() for a file that is one of a set (FileSet):
  /// finish() writes what is left, the text being final; the file, still
  /// without its name, is then flushed to disk by its owner through fd();
  /// place() gives it its name. Neither flushes the folder.
  void finish();
  int fd() const { return fd_; }
  /// The folder the file goes to (a link's target may be elsewhere).
  int folder_fd() const { return dir_fd_; }
  void place();
  /// Ends the run as a failed write of this file.
  [[noreturn]] void fail_to_write();

  /// Starts the text on its way to disk as it is written, a piece at a
  /// time, so that flushing the whole file later waits for little.
  void start_writeback() { writeback_ = true; }

  /// Keeps the CRC-32 of the text from here on (call before any is written).
  void keep_checksum() { keep_checksum_ = true; }
  std::uint32_t checksum() const { return crc_; }
  /// Bytes written so far.
  std::uint64_t size() const { return size_; }

 private:
  // Written out in pieces of this size or a little more. Kept small: fresh
  // memory is expensive to touch, and larger writes are no faster.
  static constexpr std::size_t FLUSH_SIZE = 64 << 10;
  /// What callers may append at once past FLUSH_SIZE without the text's
  /// buffer growing.
  static constexpr std::size_t APPEND_ROOM = 256 << 10;
  void open(int folder_fd, const std::string& name, Temporary temporary);
  void flush();
  void keep_mode_and_owner() const;
  void link_into_place();
  [[noreturn]] void fail(const char* what, const std::string& detail = std::string());
  void discard() noexcept;

  std::string label_;
  std::optional<Folder> path_folder_;    // the folder of a path given whole
  std::optional<Folder> target_folder_;  // the folder of a link's target
  int dir_fd_ = -1;                    // where the file goes
  std::string name_;                   // its final name there
  std::string temp_name_;              // a named temporary file, or empty
  std::optional<RemoveOnSignal> remove_on_signal_;
  bool replaces_ = false;              // an earlier file is in place...
  unsigned mode_ = 0;                  // ...with this mode,
  unsigned uid_ = 0;                   // owner
  unsigned gid_ = 0;                   // and group
  int fd_ = -1;
  bool keep_checksum_ = false;
  bool writeback_ = false;
  std::uint64_t written_back_ = 0;  // bytes whose writeback has been started
  std::uint32_t crc_ = 0;
  std::uint64_t size_ = 0;
};

}  // namespace tbx
