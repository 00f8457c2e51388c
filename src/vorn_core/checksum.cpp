#include "checksum.hpp"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <nmmintrin.h>
#endif

namespace vorn {
namespace {

constexpr uint32_t kPolynomial = 0x82F63B78u;

constexpr std::array<uint32_t, 256> make_table() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ kPolynomial : c >> 1;
    table[i] = c;
  }
  return table;
}

constexpr auto kTable = make_table();

uint32_t crc32c_table(const uint8_t* p, size_t n, uint32_t c) {
  for (size_t i = 0; i < n; ++i) c = kTable[(c ^ p[i]) & 0xFF] ^ (c >> 8);
  return c;
}

#if defined(__x86_64__)

// The CRC register after `bytes` zero bytes, as four byte-indexed tables: the
// operation is linear, so a register's image is the XOR of its bytes' images.
struct ZeroShift {
  std::array<std::array<uint32_t, 256>, 4> table;

  explicit ZeroShift(size_t bytes) {
    uint32_t basis[32];
    for (int bit = 0; bit < 32; ++bit) {
      uint32_t c = 1u << bit;
      for (size_t i = 0; i < bytes; ++i) c = kTable[c & 0xFF] ^ (c >> 8);
      basis[bit] = c;
    }
    for (int k = 0; k < 4; ++k)
      for (uint32_t v = 0; v < 256; ++v) {
        uint32_t c = 0;
        for (int bit = 0; bit < 8; ++bit)
          if (v & (1u << bit)) c ^= basis[8 * k + bit];
        table[k][v] = c;
      }
  }
  uint32_t operator()(uint32_t c) const {
    return table[0][c & 0xFF] ^ table[1][(c >> 8) & 0xFF] ^ table[2][(c >> 16) & 0xFF] ^
           table[3][c >> 24];
  }
};

constexpr size_t kLongLane = 2048, kShortLane = 256;

__attribute__((target("sse4.2"))) inline uint64_t load(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// Three lanes of `lane` bytes at once; the instruction's latency is three
// cycles, so one lane alone would leave two thirds of the unit idle.
__attribute__((target("sse4.2"))) uint32_t three_lanes(const uint8_t* p, size_t lane, uint32_t c,
                                                       const ZeroShift& shift) {
  uint64_t a = c, b = 0, d = 0;
  const uint8_t *p1 = p + lane, *p2 = p + 2 * lane;
  for (size_t i = 0; i < lane; i += 8) {
    a = _mm_crc32_u64(a, load(p + i));
    b = _mm_crc32_u64(b, load(p1 + i));
    d = _mm_crc32_u64(d, load(p2 + i));
  }
  uint32_t r = shift(static_cast<uint32_t>(a)) ^ static_cast<uint32_t>(b);
  return shift(r) ^ static_cast<uint32_t>(d);
}

__attribute__((target("sse4.2"))) uint32_t crc32c_hw(const uint8_t* p, size_t n, uint32_t c) {
  static const ZeroShift long_shift(kLongLane), short_shift(kShortLane);
  while (n >= 3 * kLongLane) {
    c = three_lanes(p, kLongLane, c, long_shift);
    p += 3 * kLongLane;
    n -= 3 * kLongLane;
  }
  while (n >= 3 * kShortLane) {
    c = three_lanes(p, kShortLane, c, short_shift);
    p += 3 * kShortLane;
    n -= 3 * kShortLane;
  }
  uint64_t c64 = c;
  while (n >= 8) {
    c64 = _mm_crc32_u64(c64, load(p));
    p += 8;
    n -= 8;
  }
  uint32_t c32 = static_cast<uint32_t>(c64);
  while (n--) c32 = _mm_crc32_u8(c32, *p++);
  return c32;
}

bool has_sse42() {
  static const bool value = __builtin_cpu_supports("sse4.2");
  return value;
}
#endif

}  // namespace

uint32_t crc32c(const void* data, size_t size, uint32_t crc) {
  const auto* p = static_cast<const uint8_t*>(data);
  uint32_t c = ~crc;
#if defined(__x86_64__)
  if (has_sse42()) return ~crc32c_hw(p, size, c);
#endif
  return ~crc32c_table(p, size, c);
}

}  // namespace vorn
