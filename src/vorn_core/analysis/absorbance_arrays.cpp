#include "absorbance_arrays.hpp"

#include <algorithm>
#include <string>

#include "../errors.hpp"

namespace vorn::analysis {

void SpectrumSource::points(size_t s, Points& out) const {
  if (file) {
    decode_absorbance(file->bytes(), positions[s], wavelengths, out);
    return;
  }
  out.x.clear();
  out.intensity.clear();
  read(s, out);
  if (out.x.size() != out.intensity.size())
    throw UsageError("spectrum has " + std::to_string(out.x.size()) + " x values for " +
                     std::to_string(out.intensity.size()) + " intensities");
}

void window_means(const SpectrumSource& src, double lo, double hi, double lowest, double* mean,
                  double* base_x) {
  src.for_blocks(
      16, [] { return Points{}; },
      [&](Points& p, size_t begin, size_t end) {
        for (size_t s = begin; s < end; ++s) {
          src.points(s, p);
          DadValue v = window_mean(p.x.data(), p.intensity.data(), p.x.size(), lo, hi, lowest);
          mean[s] = v.intensity;
          if (base_x) base_x[s] = v.base_x;
        }
      });
}

void max_plot_values(const SpectrumSource& src, double wide_lo, double wide_hi, double lo,
                     double hi, double tolerance, double lowest, MaxPlotValue* out) {
  struct State {
    Points all, inside;
  };
  src.for_blocks(
      16, [] { return State{}; },
      [&](State& st, size_t begin, size_t end) {
        for (size_t s = begin; s < end; ++s) {
          src.points(s, st.all);
          // Only the points in the widened window take part, as the reader
          // layer's multiple-extraction read hands them over.
          st.inside.x.clear();
          st.inside.intensity.clear();
          for (size_t i = 0; i < st.all.x.size(); ++i)
            if (wide_lo <= st.all.x[i] && st.all.x[i] <= wide_hi) {
              st.inside.x.push_back(st.all.x[i]);
              st.inside.intensity.push_back(st.all.intensity[i]);
            }
          out[s] = max_plot_value(st.inside.x.data(), st.inside.intensity.data(),
                                  st.inside.x.size(), lo, hi, tolerance, lowest);
        }
      });
}

std::vector<double> first_wavelengths(const SpectrumSource& src) {
  if (src.size() == 0) return src.wavelengths ? *src.wavelengths : std::vector<double>{};
  Points p;
  if (src.file)
    src.file->checked([&] { src.points(0, p); });
  else
    src.points(0, p);
  return p.x;
}

void absorbance_rows(const SpectrumSource& src, std::span<const int64_t> numbers,
                     const std::vector<double>& axis, size_t first, size_t columns, double* out) {
  if (first + columns > axis.size()) throw UsageError("wavelength columns beyond the axis");
  src.for_blocks(
      16, [] { return Points{}; },
      [&](Points& p, size_t begin, size_t end) {
        for (size_t s = begin; s < end; ++s) {
          src.points(s, p);
          if (p.x != axis)
            throw UsageError("spectrum " + std::to_string(numbers[s]) + " has " +
                             std::to_string(p.x.size()) +
                             " wavelengths of its own, not the analysis's " +
                             std::to_string(axis.size()) + ": no common wavelength axis");
          std::copy_n(p.intensity.begin() + static_cast<ptrdiff_t>(first), columns,
                      out + s * columns);
        }
      });
}

}  // namespace vorn::analysis
