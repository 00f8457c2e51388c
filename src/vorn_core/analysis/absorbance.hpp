// Diode-array kernels: decoding an absorbance spectrum, the mean absorbance
// over a wavelength window and the max plot's value. No Python in here: they
// run without the GIL on decoded arrays (x ascending).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "points.hpp"

namespace vorn::analysis {

// Decodes the spectrum data block at `position` of `file` into doubles: x is
// the block's own, or, for an absorbance spectrum that stores none, the
// function's `wavelengths` (may be null); a block without x and without
// matching wavelengths is a FormatError.
void decode_absorbance(std::span<const uint8_t> file, int64_t position,
                       const std::vector<double>* wavelengths, Points& out);

struct DadValue {
  double intensity;
  double base_x;
};

// Mean absorbance over the part of [lo, hi] the spectrum covers (trapezoids,
// linear interpolation at the window's edges) and the wavelength of the
// highest absorbance there: the walk over the points described in the
// package docs. Where the covered part has no width (a window ending exactly
// on the first wavelength or on the right end of the segment it starts in, a
// window starting on the last wavelength, coinciding wavelengths) the mean is
// the absorbance at that wavelength, never a division by zero. Windows
// entirely outside the spectrum give (0.0, -1.0).
DadValue window_mean(const double* x, const double* intensity, size_t n, double lo, double hi,
                     double lowest);

// The max plot's value for one spectrum's points in the widened window: the
// wavelength of the highest absorbance within [lo, hi] and the mean absorbance
// within `tolerance` of it. `found` is false when no point lies in [lo, hi];
// `count` is the number of points averaged.
struct MaxPlotValue {
  bool found = false;
  double base_x = 0;
  double mean = 0;
  size_t count = 0;
};
MaxPlotValue max_plot_value(const double* x, const double* intensity, size_t n, double lo,
                            double hi, double tolerance, double lowest);

}  // namespace vorn::analysis
