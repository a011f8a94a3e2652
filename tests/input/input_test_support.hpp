#pragma once
// Job text as a FILE*, console output captured, fatal paths observed.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/array.hpp"
#include "core/fatal.hpp"
#include "input/job_data.hpp"

namespace tbx::test {

/// A read-only stream over a copy of `text` (NUL bytes included).
class TextStream {
 public:
  explicit TextStream(std::string text)
      : text_(std::move(text)), file_(fmemopen(text_.data(), text_.size(), "r")) {}
  ~TextStream() {
    if (file_ != nullptr) std::fclose(file_);
  }
  TextStream(const TextStream&) = delete;
  TextStream& operator=(const TextStream&) = delete;
  std::FILE* get() const { return file_; }
  /// What a later reader would still get.
  std::string rest() const {
    std::string out;
    for (int c; (c = std::getc(file_)) != EOF;) out += static_cast<char>(c);
    return out;
  }

 private:
  std::string text_;
  std::FILE* file_;
};

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

/// The report of the FatalError that `action` raises, or "" when it returns.
template <typename Action>
std::string report_of(Action&& action) {
  try {
    action();
  } catch (const FatalError& error) {
    return error.report();
  }
  return "";
}

/// A job with its arrays allocated as the driver does.
inline JobData allocated_job() {
  JobData job;
  alloc_job_arrays(job);
  return job;
}

}  // namespace tbx::test
