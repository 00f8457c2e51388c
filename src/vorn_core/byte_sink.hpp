// Little-endian appending to a growing byte buffer (the writer's side of
// ByteCursor).
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

namespace vorn {

class ByteSink {
 public:
  template <typename T>
  void put(T v) {
    size_t at = bytes_.size();
    bytes_.resize(at + sizeof(T));
    std::memcpy(bytes_.data() + at, &v, sizeof(T));
  }
  void u8(uint8_t v) { put(v); }
  void u16(uint16_t v) { put(v); }
  void u32(uint32_t v) { put(v); }
  void u64(uint64_t v) { put(v); }
  void i64(int64_t v) { put(v); }
  void f64(double v) { put(v); }
  void f32(float v) { put(v); }
  void append(std::span<const uint8_t> b) { bytes_.insert(bytes_.end(), b.begin(), b.end()); }
  void str(std::string_view s) {
    u32(static_cast<uint32_t>(s.size()));
    bytes_.insert(bytes_.end(), s.begin(), s.end());
  }
  // Overwrites a value written earlier (lengths and checksums known later).
  template <typename T>
  void patch(size_t at, T v) {
    std::memcpy(bytes_.data() + at, &v, sizeof(T));
  }
  size_t size() const { return bytes_.size(); }
  std::vector<uint8_t>& bytes() { return bytes_; }
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  void clear() { bytes_.clear(); }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace vorn
