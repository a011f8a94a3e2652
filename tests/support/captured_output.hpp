#pragma once
// What the code under test writes: to a stream it is given, or to standard
// output itself.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tbx::test {

/// A stream that collects what is written to it.
class CapturedOutput {
 public:
  CapturedOutput() : file_(open_memstream(&buffer_, &size_)) {}
  ~CapturedOutput() {
    std::fclose(file_);
    std::free(buffer_);
  }
  CapturedOutput(const CapturedOutput&) = delete;
  CapturedOutput& operator=(const CapturedOutput&) = delete;
  std::FILE* get() const { return file_; }
  std::string text() {
    std::fflush(file_);
    return std::string(buffer_, size_);
  }

 private:
  char* buffer_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* file_;
};

/// Standard output, redirected to a file while the object lives or until
/// text() is called, for the routines that write there whatever stream they
/// are given.
class StdoutCapture {
 public:
  StdoutCapture() : file_(std::tmpfile()) {
    std::fflush(stdout);
    saved_ = dup(1);
    dup2(fileno(file_), 1);
  }
  ~StdoutCapture() {
    restore();
    std::fclose(file_);
  }
  StdoutCapture(const StdoutCapture&) = delete;
  StdoutCapture& operator=(const StdoutCapture&) = delete;
  /// Ends the redirection and returns what was written.
  std::string text() {
    restore();
    std::string s;
    std::rewind(file_);
    for (int c; (c = std::fgetc(file_)) != EOF;) s += static_cast<char>(c);
    return s;
  }

 private:
  void restore() {
    if (saved_ < 0) return;
    std::fflush(stdout);
    dup2(saved_, 1);
    close(saved_);
    saved_ = -1;
  }
  std::FILE* file_;
  int saved_ = -1;
};

}  // namespace tbx::test
