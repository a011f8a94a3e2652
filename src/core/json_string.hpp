#pragma once
// Text as a JSON string, for every JSON file and stream the program writes.

#include <string>
#include <string_view>

namespace tbx {

/// `text` in double quotes, with '"' and '\' escaped and control characters
/// as \u00XX. Well-formed UTF-8 passes as it is; any other byte (a file name
/// in Latin-1, a stray byte) is written as \u00XX, the Latin-1 character of
/// that code, so that the result is always valid JSON.
std::string json_string(std::string_view text);

}  // namespace tbx
