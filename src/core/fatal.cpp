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

void fatal_error(std::string_view message, int line) {
  throw FatalError(fatal_report(message, line), std::string(message));
}

void fatal_report_raw(std::string report) { throw FatalError(std::move(report)); }

}  // namespace tbx
