#include "absorbance_arrays.hpp"

#include <algorithm>
#include <string>

#include "../errors.hpp"
#include "absorbance.hpp"
#include "parallel.hpp"

namespace vorn::analysis {

void window_means(const AbsorbanceSource& src, double lo, double hi, double lowest, double* mean,
                  double* base_x) {
  for_blocks(
      src.positions.size(), 16, [] { return AbsorbanceSpectrum{}; },
      [&](AbsorbanceSpectrum& p, size_t begin, size_t end) {
        for (size_t s = begin; s < end; ++s) {
          decode_absorbance(src.file->bytes(), src.positions[s], src.wavelengths, p);
          DadValue v = window_mean(p.x.data(), p.intensity.data(), p.x.size(), lo, hi, lowest);
          mean[s] = v.intensity;
          if (base_x) base_x[s] = v.base_x;
        }
      });
}

std::vector<double> first_wavelengths(const AbsorbanceSource& src) {
  if (src.positions.empty()) return src.wavelengths ? *src.wavelengths : std::vector<double>{};
  AbsorbanceSpectrum p;
  decode_absorbance(src.file->bytes(), src.positions[0], src.wavelengths, p);
  return p.x;
}

void absorbance_rows(const AbsorbanceSource& src, const std::vector<double>& axis, size_t first,
                     size_t columns, double* out) {
  if (first + columns > axis.size()) throw UsageError("wavelength columns beyond the axis");
  for_blocks(
      src.positions.size(), 16, [] { return AbsorbanceSpectrum{}; },
      [&](AbsorbanceSpectrum& p, size_t begin, size_t end) {
        for (size_t s = begin; s < end; ++s) {
          decode_absorbance(src.file->bytes(), src.positions[s], src.wavelengths, p);
          if (p.x != axis)
            throw UsageError("spectrum " + std::to_string(src.numbers[s]) + " has " +
                             std::to_string(p.x.size()) +
                             " wavelengths of its own, not the analysis's " +
                             std::to_string(axis.size()) + ": no common wavelength axis");
          std::copy_n(p.intensity.begin() + static_cast<ptrdiff_t>(first), columns,
                      out + s * columns);
        }
      });
}

}  // namespace vorn::analysis
