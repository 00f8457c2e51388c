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
__attribute__((target("sse4.2"))) uint32_t crc32c_hw(const uint8_t* p, size_t n, uint32_t c) {
  uint64_t c64 = c;
  while (n >= 8) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    c64 = _mm_crc32_u64(c64, v);
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
