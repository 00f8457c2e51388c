// Decoding the binary arrays of mzML (base64, optional zlib, optional
// MS-Numpress, 32/64-bit floats or integers) and mzXML (base64, optional
// zlib, big-endian pairs).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "vorn_core/float_array.hpp"
#include "vorn_core/format.hpp"

namespace zelc {

enum class Compression { kNone, kZlib, kNumpressLinear, kNumpressPic, kNumpressSlof };

struct ArrayEncoding {
  Compression compression = Compression::kNone;
  bool zlib_after_numpress = false;  // numpress, then zlib
  int bits = 64;                     // 32 or 64
  bool integer = false;
};

// The longest base64 text of an array whose data takes `bytes` bytes: four
// characters per three bytes, with room for line breaks and for compressed
// data a little larger than plain. Text beyond it is refused as it arrives.
constexpr size_t max_base64_text(size_t bytes) {
  return bytes / 3 * 4 / 100 * 105 + 4096;
}
// An mzML array of the most points a spectrum may have, at 64 bits.
inline constexpr size_t kMaxBinaryText = max_base64_text(vorn::limits::kPoints * 8);
// mzXML peaks: m/z and intensity pairs.
inline constexpr size_t kMaxPeaksText = max_base64_text(vorn::limits::kPoints * 16);

// Values of one mzML binary array, kept at their stored precision: 32-bit
// floats stay float32, everything else is float64.
vorn::FloatArray decode_mzml_array(std::string_view base64, const ArrayEncoding& encoding);

// The m/z and intensity arrays of an mzXML <peaks> element.
struct Peaks {
  vorn::FloatArray mz, intensity;
};
Peaks decode_mzxml_peaks(std::string_view base64, int precision, bool zlib, bool network_order);

// zlib-inflates `data`, refusing output beyond `limit` bytes.
std::vector<uint8_t> inflate(std::span<const uint8_t> data, size_t limit);

}  // namespace zelc
