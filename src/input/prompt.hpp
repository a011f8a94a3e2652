#pragma once
// Asking for the job name on the console.

#include <cstdio>
#include <string>

namespace tbx {

inline constexpr std::size_t CONSOLE_LINE_CAPACITY = 80;

/// Reads one line from `in` up to a carriage return or line feed (consumed,
/// not stored), keeping its first 79 characters. Returns false when input ends
/// before any character of the line was read.
bool get_console_line(std::FILE* in, std::string& line);
/// The first word of a console line: leading spaces removed, cut at the next
/// space. Returns false at end of input, as get_console_line.
bool get_console_word(std::FILE* in, std::string& word);
/// Whether a job name holds only digits, ASCII letters and $ . / : \ _ and is
/// not empty.
bool job_name_acceptable(const std::string& name);

/// Asks on `out` until `in` gives an acceptable job name. End of input
/// before an answer ends the run with "No job name given".
void prompt_job_name(std::string& job_name, std::FILE* in = stdin, std::FILE* out = stdout);

}  // namespace tbx
