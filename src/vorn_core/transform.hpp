// Byte transforms applied before zstd: byte shuffling groups the n-th bytes of
// all values together (high bytes of similar numbers are alike, so they
// compress well), and delta coding turns ascending values into small ones.
// Decoding fuses un-shuffling with the prefix sum so each value is touched once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vorn {

// out[b * n + i] = byte b of value i, for values `Width` bytes wide.
template <size_t Width>
void shuffle_bytes(const uint8_t* in, uint8_t* out, size_t n) {
  for (size_t i = 0; i < n; ++i)
    for (size_t b = 0; b < Width; ++b) out[b * n + i] = in[i * Width + b];
}

template <size_t Width>
void unshuffle_bytes(const uint8_t* in, uint8_t* out, size_t n) {
  for (size_t b = 0; b < Width; ++b) {
    const uint8_t* plane = in + b * n;
    for (size_t i = 0; i < n; ++i) out[i * Width + b] = plane[i];
  }
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
