#pragma once
// Text as a FILE* for the routines that read a stream.

#include <cstdio>
#include <string>

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

}  // namespace tbx::test
