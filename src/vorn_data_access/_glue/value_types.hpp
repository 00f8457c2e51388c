// Value types of module `common` shared by the binding modules: the range and
// the chromatogram point.
#pragma once

#include <nanobind/nanobind.h>

#include <cstdint>

namespace vorn::py {

namespace nb = nanobind;

// ValueRange: an inclusive numeric range with value equality.
struct ValueRange {
  double min = 0;
  double max = 0;
  bool contains(double v) const { return min <= v && v <= max; }
};

// SpectrumBasedChromatogramPoint: the four values exactly as given (the max
// plot's integer 0 and -1 stay integers).
struct ChromatogramPoint {
  nb::object spectrum_index;
  nb::object retention_time;
  nb::object intensity;
  nb::object base_x;
};

}  // namespace vorn::py

namespace vorn::py {

// Flag values of AnalysisTypes and QuanAnalysisTypes. ALL is no restriction
// at all, so that every combination of kinds differs from it.
enum class AnalysisTypes : uint32_t { ALL = 0, QUAL = 1, QUAN = 2, DAD = 4, ANALOG = 8 };
enum class QuanAnalysisTypes : uint32_t { ALL = 0, SIM = 1, SRM = 2 };

}  // namespace vorn::py
