#include "input/toml_nesting.hpp"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace tbx {
namespace {

class NestingScan {
 public:
  NestingScan(std::string_view text, int limit) : t_(text), limit_(limit) {}

  int first_line_beyond() {
    // The open lists and inline tables, innermost last, each with the level
    // of what stands inside it: a list's items, an inline table's key base.
    struct Open {
      char kind;
      int level;
    };
    std::vector<Open> open;
    int table = 0;           // level of the last [table] or [[table]] header
    bool key = true;         // reading a key (or a header), not a value
    bool line_start = true;  // nothing but blanks yet on a top-level line
    bool header = false;     // inside [ ... ] of a header
    bool header_of_array = false;
    int dots = 0;   // of the key read so far
    int level = 0;  // of the value being read
    auto key_base = [&] { return header ? 0 : open.empty() ? table : open.back().level; };

    while (i_ < t_.size()) {
      const char c = t_[i_];
      if (c == '\n') {
        ++line_;
        ++i_;
        if (open.empty()) {
          key = line_start = true;
          header = false;
          dots = 0;
        }
        continue;
      }
      if (c == ' ' || c == '\t' || c == '\r') {
        ++i_;
        continue;
      }
      if (c == '#') {
        i_ = std::min(t_.find('\n', i_), t_.size());
        continue;
      }
      const bool first_on_line = line_start;
      line_start = false;
      if (c == '"' || c == '\'') {
        skip_string();
        continue;
      }
      ++i_;
      if (key) {
        if (c == '.') {
          if (key_base() + ++dots + 1 > limit_) return line_;
        } else if (c == '=' && !header) {
          key = false;
          level = key_base() + dots + 1;
          if (level > limit_) return line_;
        } else if (c == '[' && first_on_line && open.empty()) {
          header = true;
          header_of_array = i_ < t_.size() && t_[i_] == '[';
          i_ += header_of_array ? 1 : 0;
        } else if (c == ']' && header) {
          table = dots + 1 + (header_of_array ? 1 : 0);
          if (table > limit_) return line_;
          header = key = false;  // the second ] of [[ ]] is read as a value's
        } else if (c == '}' && !open.empty()) {
          open.pop_back();  // {} or a comma before }
          key = false;
        }
        continue;
      }
      switch (c) {
        case '[':
          if (++level > limit_) return line_;
          open.push_back({'[', level});
          break;
        case '{':
          open.push_back({'{', level});
          key = true;
          dots = 0;
          break;
        case ',':
          if (!open.empty() && open.back().kind == '{') {
            key = true;
            dots = 0;
          } else if (!open.empty()) {
            level = open.back().level;
          }
          break;
        case ']':
        case '}':
          if (!open.empty()) open.pop_back();
          break;
        default: break;
      }
    }
    return 0;
  }

 private:
  /// Skips the string that starts at i_: basic or literal, on one line or
  /// on several, counting its line ends. One left open ends at its line's
  /// end (on one line) or the text's.
  void skip_string() {
    const char quote = t_[i_];
    const bool escapes = quote == '"';
    const bool multiline = t_.compare(i_, 3, std::string_view(quote == '"' ? "\"\"\"" : "'''")) == 0;
    i_ += multiline ? 3 : 1;
    while (i_ < t_.size()) {
      const char c = t_[i_];
      if (c == '\n') {
        if (!multiline) return;
        ++line_;
      } else if (c == '\\' && escapes && i_ + 1 < t_.size() && t_[i_ + 1] != '\n') {
        i_ += 2;
        continue;
      } else if (c == quote) {
        if (!multiline) {
          ++i_;
          return;
        }
        // A multi-line string ends at three quotes; up to two more before
        // them belong to it.
        std::size_t run = 0;
        while (i_ + run < t_.size() && t_[i_ + run] == quote) ++run;
        if (run >= 3) {
          i_ += std::min<std::size_t>(run, 5);
          return;
        }
        i_ += run;
        continue;
      }
      ++i_;
    }
  }

  std::string_view t_;
  int limit_;
  std::size_t i_ = 0;
  int line_ = 1;
};

}  // namespace

int toml_nesting_beyond(std::string_view text, int limit) { return NestingScan(text, limit).first_line_beyond(); }

}  // namespace tbx
