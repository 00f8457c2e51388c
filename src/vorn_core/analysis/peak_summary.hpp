// The total ion current and base peak of a spectrum, worked out from its
// points for a description that leaves them out: the sum of the intensities
// in point order, and the first of the most intense points. The writer and
// zelc both fill omitted fields with it, so their files agree.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "../float_array.hpp"
#include "../records.hpp"

namespace vorn::analysis {

struct PeakSummary {
  double total = 0.0;
  std::optional<size_t> base;  // the base peak's point; none without points
  double base_intensity = 0.0;
};

template <typename Values>
PeakSummary summarize_peaks(const Values& intensity, size_t n) {
  PeakSummary s;
  for (size_t i = 0; i < n; ++i) {
    const double v = static_cast<double>(intensity[i]);
    s.total += v;
    if (!s.base || v > s.base_intensity) {
      s.base = i;
      s.base_intensity = v;
    }
  }
  return s;
}

// Which of the three fields to fill.
struct SummaryFields {
  bool total = false, base_x = false, base_intensity = false;
};

// Fills the asked fields of `d` from the points: x from `x`, or, for a
// spectrum without x values, from the function's `wavelengths` (may be
// null). A base peak without an x value at its place (counts that differ,
// which the writer refuses anyway) leaves the base peak's x absent.
inline void fill_peak_summary(SpectrumDescription& d, FloatSpan x, FloatSpan intensity,
                              const std::vector<double>* wavelengths, SummaryFields which) {
  if (!which.total && !which.base_x && !which.base_intensity) return;
  const PeakSummary s = summarize_peaks(intensity, intensity.size);
  if (which.total) d.current_total_ion = s.total;
  if (which.base_intensity)
    d.base_peak_intensity = s.base ? std::optional<double>(s.base_intensity) : std::nullopt;
  if (which.base_x) {
    d.base_peak_mz = std::nullopt;
    if (s.base && x.data && *s.base < x.size)
      d.base_peak_mz = x[*s.base];
    else if (s.base && !x.data && wavelengths && *s.base < wavelengths->size())
      d.base_peak_mz = (*wavelengths)[*s.base];
  }
}

}  // namespace vorn::analysis
