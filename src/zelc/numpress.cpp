#include "numpress.hpp"

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

namespace zelc {
namespace {

[[noreturn]] void corrupt(const char* what) {
  throw std::runtime_error(std::string("corrupt MS-Numpress data: ") + what);
}

// The fixed-point scale: 8 bytes, a double stored big-endian.
double fixed_point(std::span<const uint8_t> data) {
  if (data.size() < 8) corrupt("no fixed point");
  uint64_t bits = 0;
  for (size_t i = 0; i < 8; ++i) bits = (bits << 8) | data[i];
  double v;
  std::memcpy(&v, &bits, 8);
  return v;
}

// Reads half-bytes (high half of each byte first).
class Nibbles {
 public:
  explicit Nibbles(std::span<const uint8_t> data) : data_(data) {}
  bool done() const { return pos_ >= data_.size() * 2; }
  // Whether only the padding of the last byte is left.
  bool at_padding() const { return pos_ + 1 == data_.size() * 2; }
  uint32_t next() {
    if (done()) corrupt("data ends inside a value");
    uint8_t byte = data_[pos_ / 2];
    uint32_t v = (pos_ % 2 == 0) ? byte >> 4 : byte & 0xF;
    ++pos_;
    return v;
  }
  // An integer of the variable-length half-byte encoding: a head nibble
  // telling how many leading half-bytes are 0 (head <= 8) or 0xF (head > 8),
  // then the remaining half-bytes, least significant first.
  uint32_t integer() {
    uint32_t head = next();
    uint32_t leading, fill;
    if (head <= 8) {
      leading = head;
      fill = 0;
    } else {
      leading = head - 8;
      fill = 0xF;
    }
    uint32_t value = 0;
    for (uint32_t i = 0; i < leading; ++i) value |= fill << (4 * (7 - i));
    for (uint32_t i = 0; i < 8 - leading; ++i) value |= next() << (4 * i);
    return value;
  }

 private:
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
};

uint32_t little_u32(std::span<const uint8_t> d, size_t at) {
  if (d.size() < at + 4) corrupt("short header");
  return uint32_t{d[at]} | uint32_t{d[at + 1]} << 8 | uint32_t{d[at + 2]} << 16 |
         uint32_t{d[at + 3]} << 24;
}

void refuse_count(size_t values, size_t max_values) {
  if (values > max_values)
    throw std::runtime_error("an MS-Numpress array holds more than " + std::to_string(max_values) +
                             " values, the most a spectrum may have");
}

// Integers of the half-byte encoding in `data` (linear: after its header),
// up to the padding of the last byte.
size_t count_integers(std::span<const uint8_t> data) {
  Nibbles n(data);
  size_t count = 0;
  while (!n.done() && !n.at_padding()) {
    n.integer();
    ++count;
  }
  return count;
}

}  // namespace

// Every integer takes one to nine half-bytes.
size_t numpress_linear_max_bytes(size_t values) {
  return 16 + (9 * values + 1) / 2;
}
size_t numpress_pic_max_bytes(size_t values) {
  return (9 * values + 1) / 2;
}
size_t numpress_slof_max_bytes(size_t values) {
  return 8 + 2 * values;
}

std::vector<double> decode_numpress_linear(std::span<const uint8_t> data, size_t max_values) {
  std::vector<double> out;
  if (data.empty()) return out;
  const double fp = fixed_point(data);
  if (data.size() < 12) corrupt("short header");
  const size_t count = data.size() < 16 ? 1 : 2 + count_integers(data.subspan(16));
  refuse_count(count, max_values);
  out.reserve(count);
  int64_t a = static_cast<int32_t>(little_u32(data, 8));
  out.push_back(static_cast<double>(a) / fp);
  if (data.size() < 16) return out;
  int64_t b = static_cast<int32_t>(little_u32(data, 12));
  out.push_back(static_cast<double>(b) / fp);
  Nibbles n(data.subspan(16));
  while (!n.done() && !n.at_padding()) {
    int64_t diff = static_cast<int32_t>(n.integer());
    int64_t predicted = 2 * b - a;
    int64_t value = predicted + diff;
    out.push_back(static_cast<double>(value) / fp);
    a = b;
    b = value;
  }
  return out;
}

std::vector<double> decode_numpress_pic(std::span<const uint8_t> data, size_t max_values) {
  refuse_count(count_integers(data), max_values);
  std::vector<double> out;
  Nibbles n(data);
  while (!n.done() && !n.at_padding()) out.push_back(static_cast<double>(n.integer()));
  return out;
}

std::vector<double> decode_numpress_slof(std::span<const uint8_t> data, size_t max_values) {
  std::vector<double> out;
  if (data.empty()) return out;
  const double fp = fixed_point(data);
  if ((data.size() - 8) % 2) corrupt("odd length");
  refuse_count((data.size() - 8) / 2, max_values);
  out.reserve((data.size() - 8) / 2);
  for (size_t i = 8; i + 1 < data.size(); i += 2) {
    uint16_t v = static_cast<uint16_t>(data[i] | data[i + 1] << 8);
    out.push_back(std::exp(static_cast<double>(v) / fp) - 1);
  }
  return out;
}

}  // namespace zelc
