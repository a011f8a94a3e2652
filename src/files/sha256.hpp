#pragma once
// SHA-256 (FIPS 180-4), by which a summary names the job file it was made
// from; any tool can recompute it (sha256sum, Python: hashlib.sha256).

#include <string>

namespace tbx {

/// Sixty-four lowercase hexadecimal digits.
std::string sha256_hex(const std::string& data);

}  // namespace tbx
