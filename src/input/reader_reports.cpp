#include "input/reader_reports.hpp"

#include <cstdio>

#include "core/fatal.hpp"

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

void refuse_report(std::string report, std::string_view message, int line, std::string_view token) {
  FatalDetail detail;
  detail.kind = FatalKind::invalid_job;
  detail.line = line;
  detail.value = std::string(token);
  fatal_report_raw(std::move(report), std::string(message), std::move(detail));
}

void refuse_without_line(std::string_view message) { refuse_report(report_without_line(message), message, 0, {}); }

void refuse_with_line(std::string_view message, int line) {
  refuse_report(report_with_line(message, line), message, line, {});
}

void refuse_with_token(std::string_view message, int line, std::string_view token) {
  refuse_report(report_with_token(message, line, token), message, line, token);
}

void refuse_with_caret(std::string_view message, int line, std::string_view token, std::string_view marker_prefix,
                       std::size_t caret_offset) {
  refuse_report(report_with_caret(message, line, token, marker_prefix, caret_offset), message, line, token);
}

}  // namespace tbx
