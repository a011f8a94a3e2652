#include "input/prompt.hpp"

#include <string_view>

#include "core/fatal.hpp"

namespace tbx {

bool get_console_line(std::FILE* in, std::string& line) {
  line.clear();
  int c = std::getc(in);
  if (c == EOF) return false;
  // A last line without its line end still counts as an answer.
  for (; c != EOF && c != '\r' && c != '\n'; c = std::getc(in)) {
    if (line.size() < CONSOLE_LINE_CAPACITY - 1) line += static_cast<char>(c);
  }
  return true;
}

bool get_console_word(std::FILE* in, std::string& word) {
  std::string line;
  if (!get_console_line(in, line)) return false;
  const std::size_t first = line.find_first_not_of(' ');
  if (first == std::string::npos) {
    word.clear();
  } else {
    word = line.substr(first, line.find(' ', first) - first);
  }
  return true;
}

bool job_name_acceptable(const std::string& name) {
  static constexpr std::string_view OTHER_CHARACTERS = "$./:\\_";
  if (name.empty()) return false;
  for (const char c : name) {
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    const bool digit = c >= '0' && c <= '9';
    if (!letter && !digit && OTHER_CHARACTERS.find(c) == std::string_view::npos) return false;
  }
  return true;
}

void prompt_job_name(std::string& job_name, std::FILE* in, std::FILE* out) {
  for (;;) {
    std::fputs("\nJob name ? ", out);
    std::fflush(out);
    std::string answer;
    if (!get_console_word(in, answer)) fatal_error("No job name given", 0);
    std::fputs("You answered: ", out);
    std::fwrite(answer.data(), 1, answer.size(), out);
    std::fputs("\n", out);
    if (job_name_acceptable(answer)) {
      job_name = answer;
      return;
    }
    std::fputs("\nERROR: repeat answer ...\n", out);
  }
}

}  // namespace tbx
