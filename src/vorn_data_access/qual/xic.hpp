// Extracted-ion chromatograms, several in one pass over the spectra.
#pragma once

#include <nanobind/nanobind.h>

#include "qual.hpp"
#include "vorn_core/analysis/window_sum.hpp"

namespace vorn::py {

nb::list multiple_xic(QualAnalysis& analysis, nb::handle options);

// The sum of one window over a point list a reader returned: natively for
// the package's own lists, point by point for any other sequence.
analysis::WindowSum sum_points(nb::handle points, double lo, double hi, double lowest);

}  // namespace vorn::py
