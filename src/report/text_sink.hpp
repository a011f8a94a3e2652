#pragma once

#include <string>

namespace tbx {

/// Where report text goes: appended to text(), handed on by flush_if_full()
/// once enough has gathered. The base keeps everything in memory.
class TextSink {
 public:
  virtual ~TextSink() = default;
  std::string& text() { return text_; }
  virtual void flush_if_full() {}

 protected:
  std::string text_;
};

}  // namespace tbx
