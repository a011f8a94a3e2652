#pragma once
// CRC-32 (the polynomial of zlib, gzip and PNG), by which a summary names the
// exact reports it was written with; any tool can recompute it (Python:
// binascii.crc32).

#include <cstddef>
#include <cstdint>
#include <string>

namespace tbx {

/// The CRC-32 of `size` bytes at `data` continued from `crc`, the CRC-32 of
/// what came before (0 for nothing).
std::uint32_t crc32(std::uint32_t crc, const char* data, std::size_t size);
inline std::uint32_t crc32(const std::string& text) { return crc32(0, text.data(), text.size()); }

/// Eight lowercase hexadecimal digits.
std::string hex32(std::uint32_t value);

}  // namespace tbx
