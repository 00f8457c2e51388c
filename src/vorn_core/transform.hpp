// Byte transforms applied before zstd: byte shuffling groups the n-th bytes of
// all values together (high bytes of similar numbers are alike, so they
// compress well), and delta coding turns ascending values into small ones.
// Decoding fuses un-shuffling with the prefix sum so each value is touched once;
// on x86-64 the byte transposes use SSE2 (part of the baseline instruction set).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vorn {

// out[b * n + i] = byte b of value i, for values `Width` bytes wide.
template <size_t Width>
void shuffle_bytes(const uint8_t* in, uint8_t* out, size_t n) {
  for (size_t i = 0; i < n; ++i)
    for (size_t b = 0; b < Width; ++b) out[b * n + i] = in[i * Width + b];
}

namespace detail {

template <size_t Width>
void unshuffle_scalar(const uint8_t* in, uint8_t* out, size_t from, size_t n) {
  for (size_t i = from; i < n; ++i)
    for (size_t b = 0; b < Width; ++b) out[i * Width + b] = in[b * n + i];
}

#if defined(__SSE2__)
// Sixteen 8-byte values from their eight byte planes.
inline void unshuffle16x8(const uint8_t* in, size_t n, uint8_t* out) {
  __m128i p[8];
  for (size_t b = 0; b < 8; ++b)
    p[b] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + b * n));
  __m128i a[8], c[8];
  for (size_t k = 0; k < 4; ++k) {
    a[2 * k] = _mm_unpacklo_epi8(p[2 * k], p[2 * k + 1]);
    a[2 * k + 1] = _mm_unpackhi_epi8(p[2 * k], p[2 * k + 1]);
  }
  // c: bytes 0-3 (from a0/a2) and 4-7 (from a4/a6) for values 0-7, then 8-15.
  c[0] = _mm_unpacklo_epi16(a[0], a[2]);
  c[1] = _mm_unpackhi_epi16(a[0], a[2]);
  c[2] = _mm_unpacklo_epi16(a[4], a[6]);
  c[3] = _mm_unpackhi_epi16(a[4], a[6]);
  c[4] = _mm_unpacklo_epi16(a[1], a[3]);
  c[5] = _mm_unpackhi_epi16(a[1], a[3]);
  c[6] = _mm_unpacklo_epi16(a[5], a[7]);
  c[7] = _mm_unpackhi_epi16(a[5], a[7]);
  auto* o = reinterpret_cast<__m128i*>(out);
  _mm_storeu_si128(o + 0, _mm_unpacklo_epi32(c[0], c[2]));
  _mm_storeu_si128(o + 1, _mm_unpackhi_epi32(c[0], c[2]));
  _mm_storeu_si128(o + 2, _mm_unpacklo_epi32(c[1], c[3]));
  _mm_storeu_si128(o + 3, _mm_unpackhi_epi32(c[1], c[3]));
  _mm_storeu_si128(o + 4, _mm_unpacklo_epi32(c[4], c[6]));
  _mm_storeu_si128(o + 5, _mm_unpackhi_epi32(c[4], c[6]));
  _mm_storeu_si128(o + 6, _mm_unpacklo_epi32(c[5], c[7]));
  _mm_storeu_si128(o + 7, _mm_unpackhi_epi32(c[5], c[7]));
}

// Sixteen 4-byte values from their four byte planes.
inline void unshuffle16x4(const uint8_t* in, size_t n, uint8_t* out) {
  __m128i p0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
  __m128i p1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + n));
  __m128i p2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * n));
  __m128i p3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 3 * n));
  __m128i a0 = _mm_unpacklo_epi8(p0, p1), a1 = _mm_unpackhi_epi8(p0, p1);
  __m128i b0 = _mm_unpacklo_epi8(p2, p3), b1 = _mm_unpackhi_epi8(p2, p3);
  auto* o = reinterpret_cast<__m128i*>(out);
  _mm_storeu_si128(o + 0, _mm_unpacklo_epi16(a0, b0));
  _mm_storeu_si128(o + 1, _mm_unpackhi_epi16(a0, b0));
  _mm_storeu_si128(o + 2, _mm_unpacklo_epi16(a1, b1));
  _mm_storeu_si128(o + 3, _mm_unpackhi_epi16(a1, b1));
}
#endif

}  // namespace detail

// Inverse of shuffle_bytes.
template <size_t Width>
void unshuffle_bytes(const uint8_t* in, uint8_t* out, size_t n) {
  size_t i = 0;
#if defined(__SSE2__)
  if constexpr (Width == 8)
    for (; i + 16 <= n; i += 16) detail::unshuffle16x8(in + i, n, out + i * 8);
  if constexpr (Width == 4)
    for (; i + 16 <= n; i += 16) detail::unshuffle16x4(in + i, n, out + i * 4);
#endif
  detail::unshuffle_scalar<Width>(in, out, i, n);
}

// Replaces each unsigned value by its difference to the previous one
// (wrapping), in place; the first value stays.
template <typename U>
void delta_encode(U* v, size_t n) {
  U prev = 0;
  for (size_t i = 0; i < n; ++i) {
    U cur = v[i];
    v[i] = static_cast<U>(cur - prev);
    prev = cur;
  }
}

template <typename U>
void delta_decode(U* v, size_t n) {
  U acc = 0;
  for (size_t i = 0; i < n; ++i) {
    acc = static_cast<U>(acc + v[i]);
    v[i] = acc;
  }
}

template <typename T, typename U>
inline U bits_of(T v) {
  static_assert(sizeof(T) == sizeof(U));
  U u;
  std::memcpy(&u, &v, sizeof(U));
  return u;
}

}  // namespace vorn
