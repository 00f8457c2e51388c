// The XIC's per-window sum: points below the window are skipped, the scan
// stops at the first point above it, and every point in between (bounds
// included) adds its intensity in point order; the base peak is the first of
// the most intense points. No Python in here: it runs without the GIL.
#pragma once

#include <algorithm>
#include <cstddef>

namespace vorn::py {

struct WindowSum {
  double sum = 0.0;
  double base_x = 0.0;
};

// Scans from the first point, for points in any order.
template <typename X, typename I>
WindowSum scan_window(const X* x, const I* intensity, size_t n, double lo, double hi,
                      double lowest) {
  WindowSum r;
  double base = lowest;
  for (size_t i = 0; i < n; ++i) {
    double xv = static_cast<double>(x[i]);
    if (xv < lo) continue;
    if (xv > hi) break;
    double v = static_cast<double>(intensity[i]);
    if (base < v) {
      base = v;
      r.base_x = xv;
    }
    r.sum += v;
  }
  return r;
}

// The same for points known to ascend: a binary search finds where the
// skipped points end, so the result is the scan's, sums in the same order.
template <typename X, typename I>
WindowSum sum_ascending(const X* x, const I* intensity, size_t n, double lo, double hi,
                        double lowest) {
  const X* first =
      std::partition_point(x, x + n, [lo](X v) { return static_cast<double>(v) < lo; });
  size_t start = static_cast<size_t>(first - x);
  return scan_window(x + start, intensity + start, n - start, lo, hi, lowest);
}

}  // namespace vorn::py
