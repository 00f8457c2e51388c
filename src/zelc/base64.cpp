#include "base64.hpp"

#include <array>
#include <stdexcept>

namespace zelc {
namespace {

constexpr std::array<int8_t, 256> make_table() {
  std::array<int8_t, 256> t{};
  for (auto& v : t) v = -1;
  const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int i = 0; i < 64; ++i) t[static_cast<uint8_t>(alphabet[i])] = static_cast<int8_t>(i);
  return t;
}

constexpr auto kTable = make_table();

}  // namespace

std::vector<uint8_t> decode_base64(std::string_view text) {
  std::vector<uint8_t> out;
  out.reserve(text.size() / 4 * 3);
  uint32_t group = 0;
  int count = 0, padding = 0;
  for (char c : text) {
    if (c == ' ' || c == '\n' || c == '\r' || c == '\t') continue;
    if (c == '=') {
      ++padding;
      group <<= 6;
      ++count;
    } else {
      int8_t v = kTable[static_cast<uint8_t>(c)];
      if (v < 0 || padding) throw std::runtime_error("invalid base64 data");
      group = (group << 6) | static_cast<uint32_t>(v);
      ++count;
    }
    if (count == 4) {
      if (padding > 2) throw std::runtime_error("invalid base64 padding");
      out.push_back(static_cast<uint8_t>(group >> 16));
      if (padding < 2) out.push_back(static_cast<uint8_t>(group >> 8));
      if (padding < 1) out.push_back(static_cast<uint8_t>(group));
      group = 0;
      count = 0;
    }
  }
  if (count != 0) throw std::runtime_error("truncated base64 data");
  return out;
}

}  // namespace zelc
