// The XIC's per-window sum: points below the window are skipped, the scan
// stops at the first point above it, and every point in between (bounds
// included) adds its intensity in point order; the base peak is the first of
// the most intense points. No Python in here: it runs without the GIL.
#pragma once

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

}  // namespace vorn::py
