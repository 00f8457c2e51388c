// Property: zelc's binary-array decoders (base64, zlib, MS-Numpress linear,
// positive integer and short logged float, mzXML peaks) either decode any
// input or throw std::runtime_error; they never crash or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>

#include "zelc/base64.hpp"
#include "zelc/binary_array.hpp"
#include "zelc/numpress.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t mode = data[0];
  std::span<const uint8_t> rest(data + 1, size - 1);
  std::string_view text(reinterpret_cast<const char*>(rest.data()), rest.size());
  try {
    switch (mode % 6) {
      case 0:
        zelc::decode_numpress_linear(rest, 1 << 20);
        break;
      case 1:
        zelc::decode_numpress_pic(rest, 1 << 20);
        break;
      case 2:
        zelc::decode_numpress_slof(rest, 1 << 20);
        break;
      case 3:
        zelc::inflate(rest, 1 << 20);
        break;
      case 4: {
        zelc::ArrayEncoding e;
        e.compression = static_cast<zelc::Compression>((mode / 6) % 5);
        e.bits = (mode & 0x40) ? 32 : 64;
        e.integer = mode & 0x80;
        zelc::decode_mzml_array(text, e);
        break;
      }
      default:
        zelc::decode_mzxml_peaks(text, (mode & 0x40) ? 32 : 64, mode & 0x80, mode & 0x20);
    }
  } catch (const std::runtime_error&) {
  }
  return 0;
}
