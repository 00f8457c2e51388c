#include "absorbance.hpp"

#include <string>

#include "../errors.hpp"
#include "../spectrum_block.hpp"

namespace vorn::analysis {

void decode_absorbance(std::span<const uint8_t> file, int64_t position,
                       const std::vector<double>* wavelengths, Points& out) {
  if (position < 0) throw FormatError("negative spectrum position", 0);
  const auto at = static_cast<uint64_t>(position);
  SpectrumBlock block(file, at);
  FloatArray x, intensity;
  block.decode(x, intensity);
  const size_t n = intensity.size();
  if (!block.has_x() && n > 0) {
    if (!wavelengths)
      throw FormatError("spectrum stores no x values and its function has no wavelengths", at);
    if (wavelengths->size() != n)
      throw FormatError("absorbance spectrum has " + std::to_string(n) + " values for " +
                            std::to_string(wavelengths->size()) + " wavelengths",
                        at);
    out.x = *wavelengths;
  } else {
    out.x.resize(n);
    for (size_t i = 0; i < n; ++i) out.x[i] = x[i];
  }
  out.intensity.resize(n);
  for (size_t i = 0; i < n; ++i) out.intensity[i] = intensity[i];
}

namespace {

// Linear interpolation inside segment k; a segment without width has no
// slope, and its left value stands.
double interpolate(const double* x, const double* v, size_t k, double w) {
  double width = x[k + 1] - x[k];
  if (width == 0.0) return v[k];
  return v[k] + (v[k + 1] - v[k]) / width * (w - x[k]);
}

}  // namespace

DadValue window_mean(const double* x, const double* I, size_t n, double lo, double hi,
                     double lowest) {
  if (n == 0 || hi < x[0] || lo > x[n - 1]) return {0.0, -1.0};
  double ave = 0.0, base_x = -1.0, base = lowest;
  bool starts_inside = false;  // the lower bound was found strictly inside a segment
  for (size_t k = 0;; ++k) {
    if (k == n - 1) {
      if (starts_inside)
        ave = x[k] == lo ? I[k] : ave / (x[k] - lo);
      else if (n > 1)
        ave = x[k] == x[0] ? I[0] : ave / (x[k] - x[0]);
      else
        ave = I[k];
      if (I[k] > base) {
        base = I[k];
        base_x = x[k];
      }
      break;
    }
    if (x[k + 1] < lo) continue;
    if (x[k] < lo && lo <= x[k + 1]) {
      if (hi <= x[k + 1]) {
        // The window ends in this segment too, or on its right end, where the
        // absorbance is the point's own.
        const bool at_end = hi == x[k + 1];
        if (lo != hi) {
          double i1 = interpolate(x, I, k, lo);
          double i2 = at_end ? I[k + 1] : interpolate(x, I, k, hi);
          ave = (i1 + i2) / 2;
          if (at_end)
            base_x = i2 > i1 ? hi : lo;  // as the walk would go on: ties to the lower wavelength
          else
            base_x = i1 == i2 ? (lo + hi) * 0.5 : (i1 < i2 ? hi : lo);
        } else {
          ave = at_end ? I[k + 1] : interpolate(x, I, k, hi);
          base_x = lo;
        }
        break;
      }
      double i1 = interpolate(x, I, k, lo);
      ave += (i1 + I[k + 1]) / 2 * (x[k + 1] - lo);
      starts_inside = true;
      base = i1;
      base_x = lo;
      continue;
    }
    if (I[k] > base) {
      base = I[k];
      base_x = x[k];
    }
    if (!starts_inside && hi == x[k]) {
      // Only reachable at the first point: the window ends where the spectrum starts.
      ave = I[k];
      break;
    }
    if (x[k] < hi && hi <= x[k + 1]) {
      double i2 = interpolate(x, I, k, hi);
      ave += (i2 + I[k]) / 2 * (hi - x[k]);
      ave /= starts_inside ? hi - lo : hi - x[0];
      if (i2 > base) {
        base = i2;
        base_x = hi;
      }
      break;
    }
    ave += (I[k] + I[k + 1]) / 2 * (x[k + 1] - x[k]);
  }
  return {ave, base_x};
}

MaxPlotValue max_plot_value(const double* x, const double* I, size_t n, double lo, double hi,
                            double tolerance, double lowest) {
  MaxPlotValue r;
  double base_peak = lowest, base_x = lowest;
  for (size_t i = 0; i < n; ++i) {
    if (x[i] < lo) continue;
    if (x[i] > hi) break;
    if (base_peak < I[i]) {
      base_peak = I[i];
      base_x = x[i];
    }
  }
  if (base_x == lowest) return r;
  r.found = true;
  r.base_x = base_x;
  const double from = base_x - tolerance, to = tolerance + base_x;
  double sum = 0.0;
  for (size_t i = 0; i < n; ++i) {
    if (x[i] < from) continue;
    if (x[i] > to) break;
    sum += I[i];
    ++r.count;
  }
  if (r.count > 0) r.mean = sum / static_cast<double>(r.count);
  return r;
}

}  // namespace vorn::analysis
