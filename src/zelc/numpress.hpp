// Decoders for the MS-Numpress encodings of mzML binary arrays: linear
// prediction (m/z), positive integer (counts) and short logged float
// (intensities). Written from the published format description.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace zelc {

std::vector<double> decode_numpress_linear(std::span<const uint8_t> data);
std::vector<double> decode_numpress_pic(std::span<const uint8_t> data);
std::vector<double> decode_numpress_slof(std::span<const uint8_t> data);

}  // namespace zelc
