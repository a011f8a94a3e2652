#pragma once
// A report file that appears under its name only when it is complete.
//
// The text is written to a temporary file in the same directory and renamed
// into place by commit(). Any failure removes the temporary file and ends the
// run, so a report under its final name is always whole, and an earlier
// complete report of the same name stays untouched until the new one is.

#include <string>

#include "report/text_sink.hpp"

namespace tbx {

class OutputFile : public TextSink {
 public:
  /// `label` names the file in messages ("jobname_rs.dat").
  OutputFile(std::string path, std::string label);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  /// Text appended to text() is written out by flush_if_full() and commit().
  void flush_if_full() override {
    if (text_.size() >= FLUSH_SIZE) flush();
  }
  /// Writes what is left, closes the file and renames it into place.
  void commit();

 private:
  // Written out in pieces of this size or a little more. Kept small: fresh
  // memory is expensive to touch, and larger writes are no faster.
  static constexpr std::size_t FLUSH_SIZE = 64 << 10;
  /// What callers may append at once past FLUSH_SIZE without the text's
  /// buffer growing.
  static constexpr std::size_t APPEND_ROOM = 256 << 10;
  void flush();
  [[noreturn]] void fail(const char* what);
  void discard() noexcept;

  std::string path_;
  std::string label_;
  std::string temp_path_;
  int fd_ = -1;
};

}  // namespace tbx
