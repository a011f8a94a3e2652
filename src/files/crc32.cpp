#include "files/crc32.hpp"

#include <array>

namespace tbx {

namespace {

// Eight tables: eight bytes are folded in per step instead of one.
using Tables = std::array<std::array<std::uint32_t, 256>, 8>;

Tables make_tables() {
  Tables t{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][i] = c;
  }
  for (std::uint32_t i = 0; i < 256; ++i) {
    for (std::size_t k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  }
  return t;
}

std::uint32_t byte_at(const char* p, int k) { return static_cast<unsigned char>(p[k]); }

}  // namespace

std::uint32_t crc32(std::uint32_t crc, const char* data, std::size_t size) {
  static const Tables t = make_tables();
  std::uint32_t c = ~crc;
  for (; size >= 8; size -= 8, data += 8) {
    const std::uint32_t low = c ^ (byte_at(data, 0) | byte_at(data, 1) << 8 | byte_at(data, 2) << 16 |
                                   byte_at(data, 3) << 24);
    c = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
        t[3][byte_at(data, 4)] ^ t[2][byte_at(data, 5)] ^ t[1][byte_at(data, 6)] ^ t[0][byte_at(data, 7)];
  }
  for (; size > 0; --size, ++data) c = t[0][(c ^ byte_at(data, 0)) & 0xFF] ^ (c >> 8);
  return ~c;
}

std::string hex32(std::uint32_t value) {
  static const char DIGITS[] = "0123456789abcdef";
  std::string out(8, '0');
  for (int i = 7; i >= 0; --i, value >>= 4) out[static_cast<std::size_t>(i)] = DIGITS[value & 0xF];
  return out;
}

}  // namespace tbx
