#include "input/reader_reports.hpp"

#include <cstdio>

namespace tbx {

namespace {
constexpr std::string_view INPUT_DATA_PREFIX = "Input data ........ ";

std::string head(std::string_view message) {
  std::string text = "\nERROR:\n";
  text.append(message);
  text += '\n';
  return text;
}

std::string echo(std::string_view token) {
  std::string text(INPUT_DATA_PREFIX);
  text.append(token);
  text += '\n';
  return text;
}
}  // namespace

std::string report_without_line(std::string_view message) { return head(message) + '\n'; }

std::string report_with_line(std::string_view message, int line) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "Line n. %d\n\n", line);
  return head(message) + buf;
}

std::string report_with_token(std::string_view message, int line, std::string_view token) {
  return report_with_line(message, line) + echo(token) + '\n';
}

std::string report_with_caret(std::string_view message, int line, std::string_view token,
                              std::string_view marker_prefix, std::size_t caret_offset) {
  std::string text = report_with_line(message, line) + echo(token);
  text.append(marker_prefix);
  text.append(caret_offset, ' ');
  text += "^\n\n";
  return text;
}

}  // namespace tbx
