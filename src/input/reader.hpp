#pragma once
// The strict reader of job files.
//
// A job file is a stream of tokens separated by blanks; every field ends with
// its own ";" token and "#" at the start of a token comments out the rest of
// the line. The first token that does not fit ends the run with a report that
// names the line and shows the token with a caret under the wrong character.

#include <array>
#include <cstdio>
#include <string>

#include "input/job_fields.hpp"
#include "model/job_data.hpp"

namespace tbx {

inline constexpr int TOKEN_CAPACITY = 1000;

/// Character classes.
bool is_blank(int c);      ///< tab, line feed, carriage return, space
bool is_printable(int c);  ///< codes 32 to 126

/// Length of `text` without trailing spaces (code 32 only).
std::size_t trimmed_length(const std::string& text);
/// Replaces every unprintable character by "?".
void mask_unprintable(std::string& text);
/// Returns if every character is printable, otherwise ends the run with the
/// "Bad" character report.
void check_printable(const std::string& text, int line);

/// Syntax walks: true on success; on failure `pos` is the 1-based position of
/// the wrong character (length + 1 when found after the walk), else 0.
bool real_syntax_ok(const std::string& token, int& pos);
bool int_syntax_ok(const std::string& token, int& pos);

/// Reads tokens from an open job file and keeps the line count.
class TokenReader {
 public:
  explicit TokenReader(std::FILE* in, int& line_no) : in_(in), line_no_(line_no) {}

  int next_char();
  std::string read_word(int cap);
  std::string read_text(int cap, char term);
  double read_real();
  std::int32_t read_int();
  char read_single_char();
  /// The ";" after a field.
  void expect_semicolon();

  int token_line() const { return token_line_; }
  int line_no() const { return line_no_; }

 private:
  std::FILE* in_;
  int& line_no_;
  int token_line_ = 0;
};

/// Where a reading stands: the value it reads now and the line on which each
/// value read so far stood, so that a later message can name both.
struct ReadTrace {
  JobField field = JobField::project_name;
  /// 1-based position of the value within its field; 0 for the field's ";".
  int index = 1;
  /// line[field][index]: the line of that value (of the ";" at index 0).
  std::array<std::array<int, N_PROFILE + 1>, N_JOB_FIELDS> line{};

  int line_of(JobField f, int i) const { return line[static_cast<std::size_t>(f)][static_cast<std::size_t>(i)]; }
};

/// Fills every field of `job` from `in` (line counter `line_no`, starting at
/// 1); the job's arrays must be allocated. Returns only if every field and
/// every ";" was read. With a `trace`, keeps it up to date as it goes.
void read_job(std::FILE* in, int& line_no, JobData& job, ReadTrace* trace = nullptr);

}  // namespace tbx
