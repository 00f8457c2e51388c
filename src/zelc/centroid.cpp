#include "centroid.hpp"

#include <vector>

namespace zelc {

void centroid(const vorn::FloatArray& mz, const vorn::FloatArray& intensity,
              vorn::FloatArray& peak_mz, vorn::FloatArray& peak_intensity) {
  const size_t n = intensity.size();
  std::vector<double> centers;
  std::vector<size_t> apexes;
  for (size_t i = 0; i < n; ++i) {
    const double v = intensity[i];
    if (v <= 0 || (i > 0 && !(intensity[i - 1] < v)) || (i + 1 < n && intensity[i + 1] > v))
      continue;
    size_t lo = i, hi = i;
    while (lo > 0 && intensity[lo - 1] < intensity[lo] && intensity[lo - 1] > 0) --lo;
    while (hi + 1 < n && intensity[hi + 1] <= intensity[hi] && intensity[hi + 1] > 0) ++hi;
    double weight = 0, sum = 0;
    for (size_t k = lo; k <= hi; ++k) {
      weight += intensity[k];
      sum += intensity[k] * mz[k];
    }
    centers.push_back(sum / weight);
    apexes.push_back(i);
  }
  peak_mz = vorn::FloatArray(std::move(centers));
  if (intensity.is_f32()) {
    std::vector<float> heights;
    for (size_t i : apexes) heights.push_back(intensity.f32()[i]);
    peak_intensity = vorn::FloatArray(std::move(heights));
  } else {
    std::vector<double> heights;
    for (size_t i : apexes) heights.push_back(intensity.f64()[i]);
    peak_intensity = vorn::FloatArray(std::move(heights));
  }
}

}  // namespace zelc
