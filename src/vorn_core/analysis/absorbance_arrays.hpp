// Diode-array results over many spectra at once: the mean absorbance over a
// wavelength window per spectrum (the wavelength chromatogram), the max plot,
// and the absorbance matrix (spectra × wavelengths). The same code serves a
// file's blocks (in a few threads, without the interpreter) and spectra a
// caller reads (SpectrumSource).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "absorbance.hpp"
#include "spectrum_source.hpp"

namespace vorn::analysis {

// window_mean over [lo, hi] of every spectrum: the mean to `mean[s]`, the
// wavelength of the highest absorbance to `base_x[s]` (when not null).
void window_means(const SpectrumSource& source, double lo, double hi, double lowest, double* mean,
                  double* base_x);

// The max plot's value of every spectrum, from its points within
// [wide_lo, wide_hi] (the window widened by the tolerance on both sides).
void max_plot_values(const SpectrumSource& source, double wide_lo, double wide_hi, double lo,
                     double hi, double tolerance, double lowest, MaxPlotValue* out);

// The wavelengths of the first spectrum: the function's when it stores none.
std::vector<double> first_wavelengths(const SpectrumSource& source);

// Row s of `out` (`columns` values) receives spectrum s's absorbances at
// wavelengths axis[first, first + columns). Every spectrum must have exactly
// the wavelengths of `axis`, else a UsageError names the first that differs
// by its number in `numbers`.
void absorbance_rows(const SpectrumSource& source, std::span<const int64_t> numbers,
                     const std::vector<double>& axis, size_t first, size_t columns, double* out);

}  // namespace vorn::analysis
