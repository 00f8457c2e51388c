// Diode-array results over many spectra at once, as arrays, in a few
// threads: the mean absorbance over a wavelength window per spectrum, and the
// absorbance matrix (spectra × wavelengths). No Python in here: callers
// release the GIL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "../mapped_file.hpp"

namespace vorn::analysis {

// The spectra to read: data block positions, with the spectrum numbers that
// errors name, and the function's wavelengths (null when it has none) for
// spectra that store no x values.
struct AbsorbanceSource {
  const MappedFile* file;
  std::span<const int64_t> positions;
  std::span<const int64_t> numbers;
  const std::vector<double>* wavelengths;
};

// window_mean over [lo, hi] of every spectrum: the mean to `mean[s]`, the
// wavelength of the highest absorbance to `base_x[s]` (when not null).
void window_means(const AbsorbanceSource& source, double lo, double hi, double lowest, double* mean,
                  double* base_x);

// The wavelengths of the first spectrum: the function's when it stores none.
std::vector<double> first_wavelengths(const AbsorbanceSource& source);

// Row s of `out` (`columns` values) receives spectrum s's absorbances at
// wavelengths axis[first, first + columns). Every spectrum must have exactly
// the wavelengths of `axis`, else a UsageError names the first that differs.
void absorbance_rows(const AbsorbanceSource& source, const std::vector<double>& axis, size_t first,
                     size_t columns, double* out);

}  // namespace vorn::analysis
