#pragma once
// Layouts of the reader's own error reports.
//
// Every report opens like fatal_report: an empty line, "ERROR:", the message
// and, when the line is known, "Line n. %d" (unpadded, unlike fatal_report).
// Reports about a token then echo it after a 20-column prefix, so that a
// marker line with a prefix of the same width can put a caret under any
// character of it.

#include <cstddef>
#include <string>
#include <string_view>

namespace tbx {

/// "\nERROR:\n<message>\n\n": for faults with no line to show.
std::string report_without_line(std::string_view message);
/// "\nERROR:\n<message>\nLine n. <line>\n\n".
std::string report_with_line(std::string_view message, int line);
/// report_with_line, then the token echoed and an empty line.
std::string report_with_token(std::string_view message, int line, std::string_view token);
/// report_with_line, the token echoed, then `marker_prefix`, `caret_offset`
/// spaces and "^", then an empty line.
std::string report_with_caret(std::string_view message, int line, std::string_view token,
                              std::string_view marker_prefix, std::size_t caret_offset);

/// Each layout above, raised as the run's end on a fault of the job file:
/// the error carries the message, the line and the token as data too.
[[noreturn]] void refuse_without_line(std::string_view message);
[[noreturn]] void refuse_with_line(std::string_view message, int line);
[[noreturn]] void refuse_with_token(std::string_view message, int line, std::string_view token);
[[noreturn]] void refuse_with_caret(std::string_view message, int line, std::string_view token,
                                   std::string_view marker_prefix, std::size_t caret_offset);
/// A report laid out by the caller about `token` on `line`.
[[noreturn]] void refuse_report(std::string report, std::string_view message, int line, std::string_view token);

}  // namespace tbx
