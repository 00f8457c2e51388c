// Bounds-checked little-endian reading of a byte range. Every read checks the
// remaining length first and reports a short read with its absolute offset.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "errors.hpp"
#include "format.hpp"

namespace vorn {

class ByteCursor {
 public:
  ByteCursor() = default;
  // `base` is the absolute offset of data[0], used in error messages.
  ByteCursor(std::span<const uint8_t> data, uint64_t base) : data_(data), base_(base) {}

  uint64_t position() const { return base_ + pos_; }
  size_t offset() const { return pos_; }
  size_t remaining() const { return data_.size() - pos_; }
  bool at_end() const { return pos_ == data_.size(); }
  std::span<const uint8_t> data() const { return data_; }

  void require(size_t n, const char* what) const {
    if (n > remaining())
      throw FormatError(std::string("truncated ") + what + " (needs " + std::to_string(n) +
                            " bytes, " + std::to_string(remaining()) + " left)",
                        position());
  }

  template <typename T>
  T read(const char* what) {
    require(sizeof(T), what);
    T v;
    std::memcpy(&v, data_.data() + pos_, sizeof(T));
    pos_ += sizeof(T);
    return v;
  }

  uint8_t u8(const char* what) { return read<uint8_t>(what); }
  uint16_t u16(const char* what) { return read<uint16_t>(what); }
  uint32_t u32(const char* what) { return read<uint32_t>(what); }
  uint64_t u64(const char* what) { return read<uint64_t>(what); }
  int64_t i64(const char* what) { return read<int64_t>(what); }
  double f64(const char* what) { return read<double>(what); }
  float f32(const char* what) { return read<float>(what); }

  std::span<const uint8_t> bytes(size_t n, const char* what) {
    require(n, what);
    auto s = data_.subspan(pos_, n);
    pos_ += n;
    return s;
  }

  // A count checked against its limit and against the bytes left, given the
  // smallest encoded size of one element, so that no caller allocates for
  // elements that cannot be there.
  uint64_t count(uint64_t value, uint64_t limit, size_t min_element_size, const char* what) const {
    if (value > limit)
      throw FormatError(std::string(what) + " " + std::to_string(value) + " exceeds the limit " +
                            std::to_string(limit),
                        position());
    if (min_element_size && value > remaining() / min_element_size)
      throw FormatError(std::string(what) + " " + std::to_string(value) +
                            " does not fit in the remaining " + std::to_string(remaining()) +
                            " bytes",
                        position());
    return value;
  }

  std::string str(const char* what) {
    uint64_t at = position();
    uint32_t n = u32(what);
    if (n > limits::kString) throw FormatError(std::string(what) + " is too long", at);
    auto b = bytes(n, what);
    return std::string(reinterpret_cast<const char*>(b.data()), b.size());
  }

 private:
  std::span<const uint8_t> data_;
  uint64_t base_ = 0;
  size_t pos_ = 0;
};

}  // namespace vorn
