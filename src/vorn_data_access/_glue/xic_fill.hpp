// Filling XicInfo records from a decoded spectrum: each receives, in its
// `__spectrum_point` list, the points whose x lies in its value range.
#pragma once

#include <nanobind/nanobind.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "point_list.hpp"
#include "python.hpp"
#include "records.hpp"
#include "value_types.hpp"

namespace vorn::py {

inline double number(nb::handle h) {
  if (PyFloat_CheckExact(h.ptr())) return PyFloat_AS_DOUBLE(h.ptr());
  double v = PyFloat_AsDouble(h.ptr());
  if (v == -1.0 && PyErr_Occurred()) throw nb::python_error();
  return v;
}

// The bounds of a ValueRange, or of any object with `min` and `max`.
inline ValueRange range_of(nb::handle r) {
  if (const ValueRange* v = exact<ValueRange>(r)) return *v;
  return ValueRange{number(r.attr("min")), number(r.attr("max"))};
}

struct XicTarget {
  nb::object points;  // the list to append to
  ValueRange range;
};

inline std::vector<XicTarget> xic_targets(nb::handle xic_infos) {
  std::vector<XicTarget> out;
  for (nb::handle info : xic_infos) {
    if (const XicInfoRecord* r = exact<XicInfoRecord>(info))
      out.push_back(
          {r->get(XicInfoRecord::kSpectrumPoint), range_of(r->get(XicInfoRecord::kRange))});
    else
      out.push_back(
          {info.attr("_XicInfo__spectrum_point"), range_of(info.attr("_XicInfo__value_range"))});
  }
  return out;
}

inline std::pair<double, double> union_of(const std::vector<XicTarget>& targets) {
  double lo = std::numeric_limits<double>::infinity(), hi = -lo;
  for (const auto& t : targets) {
    lo = std::min(lo, t.range.min);
    hi = std::max(hi, t.range.max);
  }
  return {lo, hi};
}

inline void fill_xic_targets(const std::vector<XicTarget>& targets, const FloatArray& x,
                             const FloatArray& intensity) {
  const size_t n = intensity.size();
  for (const auto& t : targets) {
    for (size_t i = 0; i < n; ++i) {
      double xv = x[i];
      if (t.range.min <= xv && xv <= t.range.max) {
        nb::object p = nb::cast(SpectrumPoint{xv, intensity[i]});
        if (PyList_Append(t.points.ptr(), p.ptr()) != 0) throw nb::python_error();
      }
    }
  }
}

}  // namespace vorn::py
