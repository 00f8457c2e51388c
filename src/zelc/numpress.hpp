// Decoders for the MS-Numpress encodings of mzML binary arrays: linear
// prediction (m/z), positive integer (counts) and short logged float
// (intensities). Written from the published format description.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace zelc {

// Each decoder counts the values first and refuses data holding more than
// `max_values` before it allocates anything.
std::vector<double> decode_numpress_linear(std::span<const uint8_t> data, size_t max_values);
std::vector<double> decode_numpress_pic(std::span<const uint8_t> data, size_t max_values);
std::vector<double> decode_numpress_slof(std::span<const uint8_t> data, size_t max_values);

// The most bytes an encoding of `values` values can take (for bounding the
// zlib layer in front of it).
size_t numpress_linear_max_bytes(size_t values);
size_t numpress_pic_max_bytes(size_t values);
size_t numpress_slof_max_bytes(size_t values);

}  // namespace zelc
