// The spectrum point list the reader returns: points in ascending x, indexable
// like a list (each item a SpectrumPoint with `x` and `intensity`), with
// zero-copy read-only numpy views of the two arrays.
#pragma once

#include <nanobind/nanobind.h>

#include "vorn_core/float_array.hpp"

namespace vorn::py {

struct SpectrumPoint {
  double x = 0;
  double intensity = 0;
};

struct SpectrumPointList {
  FloatArray x;
  FloatArray intensity;
  size_t size() const { return intensity.size(); }
};

}  // namespace vorn::py
