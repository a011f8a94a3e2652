#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/fatal.hpp"
#include "input/reader.hpp"
#include "input/reader_reports.hpp"

namespace tbx {

namespace {

/// The longest integer token: a sign and the ten digits of 2147483648.
constexpr std::size_t MAX_INT_CHARS = 11;

constexpr std::string_view WRONG_CHARACTER_PREFIX = "Wrong character ...";

// A job file of more than INT_MAX lines is absurd but possible; the counter
// stops at its top instead of overflowing.
void count_line_feed(int& line_no) {
  if (line_no < INT_MAX) ++line_no;
}

[[noreturn]] void refuse_capacity() {
  refuse_without_line("Max. n. of characters in the string must be > 2");
}

std::string too_long_message(const char* what, int cap) {
  return std::string(what) + " too long (max. = " + std::to_string(cap) + " characters)";
}

}  // namespace

int TokenReader::next_char() {
  // A read error (a directory opened as the file, for one) ends the input
  // just as the end of the file does.
  const int c = std::getc(in_);
  if (c == EOF) refuse_without_line("Unexpected end of file");
  return c;
}

std::string TokenReader::read_word(int cap) {
  if (cap < 3) refuse_capacity();
  std::string token;
  int adjustment = 0;
  for (;;) {
    int c = next_char();
    if (c == '#') {
      if (!token.empty()) {
        refuse_with_line("'#' must be preceeded by a delimiter", line_no_);
      }
      while (c != '\n') c = next_char();
    }
    if (c == '\n') {
      count_line_feed(line_no_);
      // The token stands on the line this line feed ends.
      if (!token.empty()) adjustment = -1;
    }
    if (is_blank(c)) {
      if (token.empty()) continue;
      break;
    }
    token += static_cast<char>(c);
    if (token.size() >= static_cast<std::size_t>(cap)) {
      refuse_with_line(too_long_message("Word", cap), line_no_);
    }
  }
  token_line_ = line_no_ + adjustment;
  check_printable(token, token_line_);
  return token;
}

std::string TokenReader::read_text(int cap, char term) {
  if (cap < 3) refuse_capacity();
  const int term_code = static_cast<unsigned char>(term);

  int c = next_char();
  for (;; c = next_char()) {
    if (c == '#') {
      while (c != '\n') c = next_char();
    }
    if (c == '\n') count_line_feed(line_no_);
    if (!is_blank(c)) break;
  }
  // The first character is kept whatever it is, even the terminator.
  std::string text(1, static_cast<char>(c));
  if (!is_printable(c)) check_printable(text, line_no_);

  for (;;) {
    c = next_char();
    // A comment is cut out, but the line feed that ends it still separates.
    if (c == '#') {
      while (c != '\n') c = next_char();
    }
    if (c == '\n') count_line_feed(line_no_);
    if (c == term_code) break;
    if (c == '\r') continue;
    text += (c == '\t' || c == '\n') ? ' ' : static_cast<char>(c);
    if (text.size() >= static_cast<std::size_t>(cap)) {
      refuse_with_line(too_long_message("String", cap), line_no_);
    }
    if (!is_printable(c)) check_printable(text, line_no_);
  }
  token_line_ = term == '\n' ? line_no_ - 1 : line_no_;
  text.resize(trimmed_length(text));
  return text;
}

double TokenReader::read_real() {
  const std::string token = read_word(TOKEN_CAPACITY);
  int pos = 0;
  if (!real_syntax_ok(token, pos)) {
    refuse_with_caret("Invalid real number", token_line_, token,
                                       WRONG_CHARACTER_PREFIX, static_cast<std::size_t>(pos));
  }
  // The syntax walk admits only what strtod reads in full. Three exponent
  // digits can still overflow a double; values too small for one are taken
  // as converted.
  errno = 0;
  const double value = std::strtod(token.c_str(), nullptr);
  if (errno == ERANGE && std::isinf(value)) {
    refuse_with_token("Real number out of range", token_line_, token);
  }
  return value;
}

std::int32_t TokenReader::read_int() {
  const std::string token = read_word(TOKEN_CAPACITY);
  if (token.size() > MAX_INT_CHARS) {
    refuse_with_token("Integer number has too many characters", token_line_, token);
  }
  int pos = 0;
  if (!int_syntax_ok(token, pos)) {
    refuse_with_caret("Invalid integer number", token_line_, token,
                                       WRONG_CHARACTER_PREFIX, static_cast<std::size_t>(pos));
  }
  // Eleven characters hold every 32-bit value but also magnitudes up to
  // 99999999999, which would otherwise wrap silently.
  const long long value = std::strtoll(token.c_str(), nullptr, 10);
  if (value < INT32_MIN || value > INT32_MAX) {
    refuse_with_token("Integer number out of range", token_line_, token);
  }
  return static_cast<std::int32_t>(value);
}

char TokenReader::read_single_char() {
  const std::string token = read_word(TOKEN_CAPACITY);
  if (token.size() != 1) {
    refuse_with_token("Single character expected", token_line_, token);
  }
  return token[0];
}

void TokenReader::expect_semicolon() {
  if (read_single_char() != ';') fatal_error(FatalKind::invalid_job, "Missing ;", token_line_);
}

}  // namespace tbx
