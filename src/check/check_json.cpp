#include "check/check_json.hpp"

#include "core/json_string.hpp"

namespace tbx {

namespace {

void member(std::string& out, const char* name, const std::string& text) {
  out += ", \"";
  out += name;
  out += "\": " + json_string(text);
}

std::string finding_json(const std::string& file_name, const Finding& f) {
  std::string out = "{\"severity\": ";
  out += f.severity == Severity::error ? "\"error\"" : "\"warning\"";
  member(out, "file", file_name);
  out += ", \"line\": " + std::to_string(f.line);
  member(out, "field", f.where);
  member(out, "value", f.value);
  member(out, "expected", f.expected);
  member(out, "fix", f.fix);
  member(out, "message", f.problem);
  return out + "}";
}

}  // namespace

std::string format_check_json(const CheckedJob& job) {
  const CheckResult& r = job.result;
  std::string out = "{\"file\": " + json_string(job.file_name) +
                    ", \"status\": " + std::to_string(check_exit_status(r)) + ", \"findings\": [";
  for (std::size_t i = 0; i < r.findings.size(); ++i) {
    out += (i > 0 ? ", " : "") + finding_json(job.file_name, r.findings[i]);
  }
  out += "], \"notes\": [";
  for (std::size_t i = 0; i < r.notes.size(); ++i) out += (i > 0 ? ", " : "") + json_string(r.notes[i]);
  return out + "]}\n";
}

}  // namespace tbx
