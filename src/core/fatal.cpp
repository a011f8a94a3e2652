#include "core/fatal.hpp"

#include <cstdio>

namespace tbx {

std::string fatal_report(std::string_view message, int line) {
  std::string text = "\nERROR:\n";
  text.append(message);
  text += '\n';
  if (line > 0) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "Line n. %8d\n", line);
    text += buf;
  }
  text += '\n';
  return text;
}

void fatal_error(std::string_view message, int line) { fatal_error(FatalKind::failed, message, line); }

void fatal_error(FatalKind kind, std::string_view message, int line) {
  FatalDetail detail;
  detail.kind = kind;
  detail.line = line;
  throw FatalError(fatal_report(message, line), std::string(message), std::move(detail));
}

void fatal_report_raw(std::string report, std::string message, FatalDetail detail) {
  throw FatalError(std::move(report), std::move(message), std::move(detail));
}

}  // namespace tbx
