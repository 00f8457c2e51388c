// Base64 decoding of mzML/mzXML binary arrays.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace zelc {

// Decodes standard base64 (whitespace ignored, '=' padding); throws
// std::runtime_error on any other character or a truncated group.
std::vector<uint8_t> decode_base64(std::string_view text);

}  // namespace zelc
