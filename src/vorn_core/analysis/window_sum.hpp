// The extracted-ion sum of one m/z window over one spectrum's points: points
// below the window are skipped, the scan stops at the first point above it,
// and every point in between (bounds included) adds its intensity in point
// order; the base peak is the first of the most intense points. Every XIC of
// the package, point lists and arrays alike, is summed here, so they agree
// to the last bit.
#pragma once

#include <cstddef>

namespace vorn::analysis {

struct WindowSum {
  double sum = 0.0;
  double base_x = 0.0;
};

// Scans from the first point. `lowest` is where the base peak search starts
// (minus the largest finite double).
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

}  // namespace vorn::analysis
