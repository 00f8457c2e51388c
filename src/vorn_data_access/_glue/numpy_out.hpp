// New numpy arrays whose memory C++ fills (also without the GIL): allocated
// here, handed to numpy with a capsule that frees it.
#pragma once

#include <nanobind/nanobind.h>
#include <nanobind/ndarray.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace vorn::py {

namespace nb = nanobind;

template <typename T, size_t D = 1>
class NumpyOut {
 public:
  explicit NumpyOut(std::array<size_t, D> shape) : shape_(shape) {
    size_t n = 1;
    for (size_t s : shape) n *= s;
    data_ = new T[n ? n : 1];
    owner_ = nb::capsule(data_, [](void* p) noexcept { delete[] static_cast<T*>(p); });
  }
  T* data() { return data_; }
  // The numpy array (writeable; the caller owns it).
  nb::object array() {
    return nb::cast(nb::ndarray<nb::numpy, T>(data_, D, shape_.data(), owner_));
  }

 private:
  std::array<size_t, D> shape_;
  T* data_;
  nb::capsule owner_;
};

}  // namespace vorn::py
