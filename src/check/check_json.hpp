#pragma once
// The checker's findings as data for scripts: tbxrun --check --json.

#include <string>

#include "check/finding.hpp"

namespace tbx {

/// One JSON object on one line, ended by a line break:
///   {"file": ..., "status": 0|1|3, "findings": [{"severity": "error"|"warning",
///    "file": ..., "line": N (0 where none), "field": ..., "value": ...,
///    "expected": ..., "fix": ..., "message": ...}, ...], "notes": [...]}
/// "field" is the finding's `where`, "message" its problem; a text a finding
/// lacks is "".
std::string format_check_json(const CheckedJob& job);

}  // namespace tbx
