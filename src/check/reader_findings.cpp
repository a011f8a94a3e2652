#include "check/reader_findings.hpp"

#include <algorithm>
#include <string_view>
#include <vector>

#include "check/describe.hpp"

namespace tbx {

namespace {

constexpr std::string_view LINE_PREFIX = "Line n. ";
constexpr std::string_view TOKEN_PREFIX = "Input data ........ ";
constexpr std::string_view CODE_PREFIX = "ASCII code of the \"bad\" character = ";

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

bool starts_with(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

std::string expected_for(const FieldInfo& info, int index) {
  if (index == 0) return "';' as a token of its own, after a blank";
  switch (info.kind) {
    case FieldKind::text: return "the project name, ended by ';'";
    case FieldKind::integer: return "a whole number";
    case FieldKind::real: return "a number";
  }
  return "";
}

std::string fix_for(const std::string& message, const std::string& token, const FieldInfo& info,
                    const ReadTrace& trace) {
  const std::string count = std::to_string(info.values);
  if (message == "Unexpected end of file") {
    if (trace.field == JobField::tp && trace.index == 0) return "end the last line with a line break after its ';'";
    return "the file is cut short, or a row has too few values: complete it";
  }
  if (trace.index == 0 && (message == "Missing ;" || message == "Single character expected")) {
    if (info.values > 1) return "the row takes " + count + " values: remove the one too many, or add its ';'";
    return "the field takes one value: remove the one too many, or add its ';'";
  }
  if (token == ";") return "a value is missing: the row takes " + count + " values and has " +
                           std::to_string(trace.index - 1);
  if (!token.empty() && token.back() == ';' && token.size() > 1) return "put a blank between the value and its ';'";
  if (starts_with(message, "'#'")) return "put a blank before the '#' of a comment";
  if (starts_with(message, "\"Bad\"")) return "use plain ASCII characters; others may stand only in comments";
  if (message == "Invalid integer number" && token.find_first_of(".eE") != std::string::npos) {
    return "write a whole number, without decimals or exponent";
  }
  if (starts_with(message, "Word too long") || starts_with(message, "String too long")) {
    return "shorten it; blanks must separate the values";
  }
  return "correct the value";
}

}  // namespace

Finding reader_finding(const std::string& report, const ReadTrace& trace) {
  const std::vector<std::string> lines = lines_of(report);
  Finding f;
  f.problem = lines.size() > 2 ? lines[2] : report;
  std::string token;
  for (const std::string& line : lines) {
    if (starts_with(line, LINE_PREFIX)) f.line = std::atoi(line.c_str() + LINE_PREFIX.size());
    if (starts_with(line, TOKEN_PREFIX)) token = line.substr(TOKEN_PREFIX.size());
    if (starts_with(line, CODE_PREFIX)) f.problem += " (byte code " + line.substr(CODE_PREFIX.size()) + ")";
  }
  const FieldInfo& info = field_info(trace.field);
  const bool end_of_file = f.problem == "Unexpected end of file";
  f.where = describe_field(trace.field, trace.index);
  f.value = token;
  f.expected = expected_for(info, trace.index);
  f.fix = fix_for(f.problem, token, info, trace);
  if (end_of_file) {
    // The end has no line of its own: show the last line that held a value.
    for (const auto& field : trace.line) {
      for (const int line : field) f.line = std::max(f.line, line);
    }
    f.problem = "the file ends " + std::string(f.line > 0 ? "after this line, " : "") + "where " + f.where +
                " should follow";
    // The last ";" also needs a blank after it to end as a token.
    if (trace.field == JobField::tp && trace.index == 0) {
      f.problem = "the file ends before the last ';' is complete: it needs a blank (a line break) after it";
    }
  }
  return f;
}

Finding stop_finding(const FatalError& error) {
  Finding f;
  f.problem = error.message();
  if (f.problem.empty()) {
    const std::vector<std::string> lines = lines_of(error.report());
    const auto heading = std::find(lines.begin(), lines.end(), "ERROR:");
    f.problem = heading != lines.end() && heading + 1 != lines.end() ? *(heading + 1) : error.report();
  }
  f.problem_in_heading = true;
  return f;
}

void check_trailing_text(std::FILE* in, int line_no, const JobData& job, CheckResult& result) {
  constexpr std::size_t SHOWN = 40;
  std::string token;
  for (int c; (c = std::getc(in)) != EOF;) {
    if (token.empty() && c == '#') {
      while (c != EOF && c != '\n') c = std::getc(in);
    }
    if (c == EOF) break;
    const bool blank = is_blank(c);
    if (!token.empty() && blank) break;
    if (c == '\n') ++line_no;
    if (blank) continue;
    if (token.size() < SHOWN) token += static_cast<char>(c);
  }
  if (token.empty()) return;
  mask_unprintable(token);
  Finding f;
  f.line = line_no;
  f.where = "text after the last field";
  f.value = token;
  f.problem = "the job ends with the prediction age; anything after it is not read";
  f.expected = "only blanks and comments after the last ';'";
  f.fix = "a value too many in an earlier row or field shifts every later one: compare the rows with the field list "
          "in tbxrun(1); as read, simulations = " + std::to_string(job.nsim) + ", seed = " +
          std::to_string(job.seed) + ", prediction age = " + format_value(job.tp);
  result.findings.push_back(std::move(f));
}

}  // namespace tbx
