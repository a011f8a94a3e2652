#include <string>

#include "core/fatal.hpp"
#include "input/reader.hpp"
#include "input/reader_reports.hpp"

namespace tbx {

bool is_blank(int c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

bool is_printable(int c) { return c >= 32 && c <= 126; }

std::size_t trimmed_length(const std::string& text) {
  std::size_t n = text.size();
  while (n > 0 && text[n - 1] == ' ') --n;
  return n;
}

void mask_unprintable(std::string& text) {
  for (char& c : text) {
    if (!is_printable(static_cast<unsigned char>(c))) c = '?';
  }
}

void check_printable(const std::string& text, int line) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char code = static_cast<unsigned char>(text[i]);
    if (is_printable(code)) continue;
    std::string masked = text;
    mask_unprintable(masked);
    // Both prefixes are 20 columns wide, so the caret lands under the "?".
    std::string report =
        report_with_caret("\"Bad\" character found", line, masked, "\"Bad\" character ... ", i);
    report += "ASCII code of the \"bad\" character = " + std::to_string(code) + "\n\n";
    refuse_report(std::move(report), "\"Bad\" character found", line, masked);
  }
}

}  // namespace tbx
