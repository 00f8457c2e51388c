#include "selection.hpp"

#include <cmath>

namespace vorn::analysis {

std::vector<size_t> select_rows(const SpectrumTable& t,
                                const std::function<bool(uint32_t)>& accepts,
                                const std::function<bool(size_t)>& in_range) {
  std::vector<size_t> out;
  RowChooser chooser(accepts);
  for (size_t r = 0; r < t.size(); ++r)
    if (chooser.chosen(t, r, [&](size_t row) { return !in_range || in_range(row); }))
      out.push_back(r);
  return out;
}

std::vector<size_t> timed_rows(const SpectrumTable& t) {
  return select_rows(t, nullptr, nullptr);
}

bool any_timed(const SpectrumTable& t) {
  for (uint8_t timed : t.timed)
    if (timed) return true;
  return false;
}

ptrdiff_t nearest_row(const SpectrumTable& t, double target, double start) {
  double best = start;
  ptrdiff_t found = -1;
  for (size_t r = 0; r < t.size(); ++r) {
    if (!t.timed[r]) continue;
    const double diff = std::fabs(t.rt[r] - target);
    if (diff < best) {
      best = diff;
      found = static_cast<ptrdiff_t>(r);
    }
  }
  return found;
}

}  // namespace vorn::analysis
