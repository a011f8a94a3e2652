// The number grammar of the job file, as forward-only walks over the token.
//
// Each character first moves the state on as far as it must, then is counted
// in the state it reached; the counts bound how many signs, points, exponent
// letters and exponent digits a number may have. A failure reports the
// 1-based position of the character that broke the walk, or one past the
// last character when the number turns out incomplete only at its end.

#include <string>

#include "input/reader.hpp"

namespace tbx {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_sign(char c) { return c == '+' || c == '-'; }

enum RealState {
  LEADING_SPACES,
  SIGN,
  INTEGER_DIGITS,
  POINT,
  FRACTION_DIGITS,
  EXPONENT_LETTER,
  EXPONENT_SIGN,
  EXPONENT_DIGITS,
  N_REAL_STATES
};

constexpr int MAX_EXPONENT_DIGITS = 3;

bool fail_at(std::size_t position, int& pos) {
  pos = static_cast<int>(position);
  return false;
}

}  // namespace

bool real_syntax_ok(const std::string& token, int& pos) {
  pos = 0;
  const std::size_t n = trimmed_length(token);
  const bool exponent_form = token.find_first_of("eE") < n;
  int state = LEADING_SPACES;
  int count[N_REAL_STATES] = {};

  for (std::size_t i = 0; i < n; ++i) {
    const char c = token[i];
    const std::size_t here = i + 1;
    if (state == LEADING_SPACES && c != ' ') state = SIGN;
    if (state == SIGN && !is_sign(c)) state = INTEGER_DIGITS;
    if (state == INTEGER_DIGITS && !is_digit(c)) state = POINT;
    if (state == POINT && c != '.') state = FRACTION_DIGITS;
    if (state == FRACTION_DIGITS && !is_digit(c)) {
      if (!exponent_form) return fail_at(here, pos);
      state = EXPONENT_LETTER;
    }
    if (state == EXPONENT_LETTER && c != 'e' && c != 'E') state = EXPONENT_SIGN;
    if (state == EXPONENT_SIGN && !is_sign(c)) state = EXPONENT_DIGITS;
    if (state == EXPONENT_DIGITS && !is_digit(c)) return fail_at(here, pos);
    ++count[state];

    const int mantissa_digits = count[INTEGER_DIGITS] + count[FRACTION_DIGITS];
    if (count[SIGN] > 1 || count[POINT] > 1) return fail_at(here, pos);
    if (!exponent_form) continue;
    if (count[EXPONENT_LETTER] > 1 || count[EXPONENT_SIGN] > 1 ||
        count[EXPONENT_DIGITS] > MAX_EXPONENT_DIGITS) {
      return fail_at(here, pos);
    }
    if (state >= EXPONENT_LETTER && mantissa_digits == 0) return fail_at(here, pos);
    if (state >= EXPONENT_SIGN && count[EXPONENT_LETTER] == 0) return fail_at(here, pos);
  }

  if (exponent_form) {
    if (count[EXPONENT_DIGITS] == 0) return fail_at(n + 1, pos);
  } else if (n > 0 && count[INTEGER_DIGITS] + count[FRACTION_DIGITS] == 0) {
    return fail_at(n + 1, pos);
  }
  return true;
}

bool int_syntax_ok(const std::string& token, int& pos) {
  pos = 0;
  const std::size_t n = trimmed_length(token);
  int state = LEADING_SPACES;
  int count[INTEGER_DIGITS + 1] = {};

  for (std::size_t i = 0; i < n; ++i) {
    const char c = token[i];
    const std::size_t here = i + 1;
    if (state == LEADING_SPACES && c != ' ') state = SIGN;
    if (state == SIGN && !is_sign(c)) state = INTEGER_DIGITS;
    if (state == INTEGER_DIGITS && !is_digit(c)) return fail_at(here, pos);
    ++count[state];
    if (count[SIGN] > 1) return fail_at(here, pos);
  }

  if (n > 0 && count[INTEGER_DIGITS] == 0) return fail_at(n + 1, pos);
  return true;
}

}  // namespace tbx
