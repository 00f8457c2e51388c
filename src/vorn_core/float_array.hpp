// An owned array of 32- or 64-bit floats: spectrum values keep the precision
// they were stored with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <variant>
#include <vector>

namespace vorn {

class FloatArray {
 public:
  FloatArray() : values_(std::vector<double>{}) {}
  static FloatArray of_f32(size_t n) { return FloatArray(std::vector<float>(n)); }
  static FloatArray of_f64(size_t n) { return FloatArray(std::vector<double>(n)); }
  explicit FloatArray(std::vector<double> v) : values_(std::move(v)) {}
  explicit FloatArray(std::vector<float> v) : values_(std::move(v)) {}

  bool is_f32() const { return std::holds_alternative<std::vector<float>>(values_); }
  size_t size() const {
    return std::visit([](const auto& v) { return v.size(); }, values_);
  }
  double operator[](size_t i) const {
    return std::visit([i](const auto& v) { return static_cast<double>(v[i]); }, values_);
  }
  const void* data() const {
    return std::visit([](const auto& v) { return static_cast<const void*>(v.data()); }, values_);
  }
  void* data() {
    return std::visit([](auto& v) { return static_cast<void*>(v.data()); }, values_);
  }
  std::vector<float>& f32() { return std::get<std::vector<float>>(values_); }
  std::vector<double>& f64() { return std::get<std::vector<double>>(values_); }
  const std::vector<float>& f32() const { return std::get<std::vector<float>>(values_); }
  const std::vector<double>& f64() const { return std::get<std::vector<double>>(values_); }

  template <typename F>
  decltype(auto) visit(F&& f) const {
    return std::visit(std::forward<F>(f), values_);
  }

 private:
  std::variant<std::vector<float>, std::vector<double>> values_;
};

// A non-owning view of 32- or 64-bit floats (writer input).
struct FloatSpan {
  const void* data = nullptr;
  size_t size = 0;
  bool f32 = false;
  double operator[](size_t i) const {
    return f32 ? static_cast<double>(static_cast<const float*>(data)[i])
               : static_cast<const double*>(data)[i];
  }
};

}  // namespace vorn
