#include "core/json_string.hpp"

namespace tbx {

namespace {

/// The length of the well-formed UTF-8 sequence at the start of `s`, or 0.
std::size_t utf8_length(std::string_view s) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(0);
  std::size_t n = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (s.size() < n || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < n; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return n;
}

void append_code(std::string& out, unsigned char c) {
  static const char HEX[] = "0123456789abcdef";
  out += "\\u00";
  out += HEX[c >> 4];
  out += HEX[c & 0xF];
}

}  // namespace

std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      append_code(out, c);
    } else if (c >= 0x80) {
      if (const std::size_t n = utf8_length(text.substr(i))) {
        out.append(text.substr(i, n));
        i += n;
        continue;
      }
      append_code(out, c);
    } else {
      out += static_cast<char>(c);
    }
    ++i;
  }
  return out + "\"";
}

}  // namespace tbx
