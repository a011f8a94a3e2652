#pragma once
// How deep a TOML text nests, found before the TOML library reads it: the
// library's parser and its tables recurse once per level, and a file of a
// few kilobytes nested thousands of levels deep would overflow the stack.

#include <string_view>

namespace tbx {

/// The deepest a job file may nest tables, dotted keys, lists and inline
/// tables; a job needs two levels (`[a]` with `mean = 50`, or
/// `times = { first = 10, ... }`).
constexpr int MAX_TOML_NESTING = 32;

/// The line (from 1) on which `text` first nests tables, dotted keys, lists
/// or inline tables more than `limit` levels deep, or 0 where it never does.
/// Every key part and every opened list or inline table is a level; strings
/// and comments are skipped. Text the library would refuse is read on as
/// well as it goes: what stands before its first mistake is measured right.
int toml_nesting_beyond(std::string_view text, int limit);

}  // namespace tbx
