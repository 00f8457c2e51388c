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
  std::vector<uint8_t> out(text.size() / 4 * 3 + 3);
  uint8_t* o = out.data();
  const auto* s = reinterpret_cast<const uint8_t*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  // Whole groups of four data characters: the common case, decoded without
  // looking at whitespace or padding.
  while (i + 4 <= n) {
    const int8_t a = kTable[s[i]], b = kTable[s[i + 1]], c = kTable[s[i + 2]], d = kTable[s[i + 3]];
    if ((a | b | c | d) < 0) break;
    const uint32_t group = static_cast<uint32_t>(a) << 18 | static_cast<uint32_t>(b) << 12 |
                           static_cast<uint32_t>(c) << 6 | static_cast<uint32_t>(d);
    o[0] = static_cast<uint8_t>(group >> 16);
    o[1] = static_cast<uint8_t>(group >> 8);
    o[2] = static_cast<uint8_t>(group);
    o += 3;
    i += 4;
  }
  // The rest, character by character: whitespace, padding, line breaks.
  uint32_t group = 0;
  int count = 0, padding = 0;
  for (; i < n; ++i) {
    const char ch = static_cast<char>(s[i]);
    if (ch == ' ' || ch == '\n' || ch == '\r' || ch == '\t') continue;
    if (ch == '=') {
      ++padding;
      group <<= 6;
      ++count;
    } else {
      int8_t v = kTable[s[i]];
      if (v < 0 || padding) throw std::runtime_error("invalid base64 data");
      group = (group << 6) | static_cast<uint32_t>(v);
      ++count;
    }
    if (count == 4) {
      if (padding > 2) throw std::runtime_error("invalid base64 padding");
      *o++ = static_cast<uint8_t>(group >> 16);
      if (padding < 2) *o++ = static_cast<uint8_t>(group >> 8);
      if (padding < 1) *o++ = static_cast<uint8_t>(group);
      group = 0;
      count = 0;
    }
  }
  if (count != 0) throw std::runtime_error("truncated base64 data");
  out.resize(static_cast<size_t>(o - out.data()));
  return out;
}

}  // namespace zelc
