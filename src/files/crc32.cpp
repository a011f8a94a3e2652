#include "files/crc32.hpp"

#include <array>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define TBX_CRC32_CLMUL 1
#endif

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

/// The register c (the complement of the CRC) after `size` more bytes, by
/// the tables.
std::uint32_t crc32_tables(std::uint32_t c, const char* data, std::size_t size) {
  static const Tables t = make_tables();
  for (; size >= 8; size -= 8, data += 8) {
    const std::uint32_t low = c ^ (byte_at(data, 0) | byte_at(data, 1) << 8 | byte_at(data, 2) << 16 |
                                   byte_at(data, 3) << 24);
    c = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
        t[3][byte_at(data, 4)] ^ t[2][byte_at(data, 5)] ^ t[1][byte_at(data, 6)] ^ t[0][byte_at(data, 7)];
  }
  for (; size > 0; --size, ++data) c = t[0][(c ^ byte_at(data, 0)) & 0xFF] ^ (c >> 8);
  return c;
}

#ifdef TBX_CRC32_CLMUL
#define TBX_CLMUL_TARGET __attribute__((target("pclmul,sse4.1")))

/// x carried 64 bytes (by k1k2) or 16 bytes (by k3k4) forward, plus the
/// bytes there.
TBX_CLMUL_TARGET inline __m128i fold(__m128i x, __m128i k, __m128i next) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x11), _mm_clmulepi64_si128(x, k, 0x00)), next);
}

/// The register c after `size` bytes (at least 64, a multiple of 16) by
/// carry-less multiplication: four 16-byte lanes are folded forward by
/// multiples of the polynomial 64 bytes at a time, then into one lane, and
/// the 128 bits reduced to 32 (Barrett). The same CRC as the tables, for
/// about one instruction per 8 bytes instead of three per byte.
TBX_CLMUL_TARGET std::uint32_t crc32_clmul(std::uint32_t c, const char* data, std::size_t size) {
  auto load = [](const char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
  const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
  const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
  const __m128i k5 = _mm_set_epi64x(0, 0x0163cd6124);
  const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);
  __m128i x1 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(static_cast<int>(c)));
  __m128i x2 = load(data + 16);
  __m128i x3 = load(data + 32);
  __m128i x4 = load(data + 48);
  data += 64;
  size -= 64;
  for (; size >= 64; data += 64, size -= 64) {
    x1 = fold(x1, k1k2, load(data));
    x2 = fold(x2, k1k2, load(data + 16));
    x3 = fold(x3, k1k2, load(data + 32));
    x4 = fold(x4, k1k2, load(data + 48));
  }
  x1 = fold(x1, k3k4, x2);
  x1 = fold(x1, k3k4, x3);
  x1 = fold(x1, k3k4, x4);
  for (; size >= 16; data += 16, size -= 16) x1 = fold(x1, k3k4, load(data));
  // 128 bits to 64, then Barrett reduction to 32.
  const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k3k4, 0x10));
  x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), k5, 0x00), _mm_srli_si128(x1, 4));
  __m128i x2r = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), poly, 0x10);
  x2r = _mm_clmulepi64_si128(_mm_and_si128(x2r, low32), poly, 0x00);
  x1 = _mm_xor_si128(x1, x2r);
  return static_cast<std::uint32_t>(_mm_extract_epi32(x1, 1));
}

bool has_clmul() {
  static const bool yes = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return yes;
}
#endif

}  // namespace

std::uint32_t crc32(std::uint32_t crc, const char* data, std::size_t size) {
  std::uint32_t c = ~crc;
#ifdef TBX_CRC32_CLMUL
  if (size >= 64 && has_clmul()) {
    const std::size_t bulk = size & ~std::size_t{15};
    c = crc32_clmul(c, data, bulk);
    data += bulk;
    size -= bulk;
  }
#endif
  return ~crc32_tables(c, data, size);
}

std::string hex32(std::uint32_t value) {
  static const char DIGITS[] = "0123456789abcdef";
  std::string out(8, '0');
  for (int i = 7; i >= 0; --i, value >>= 4) out[static_cast<std::size_t>(i)] = DIGITS[value & 0xF];
  return out;
}

}  // namespace tbx
