// Extracted-ion chromatograms, several in one pass over the spectra.
#pragma once

#include <nanobind/nanobind.h>

#include "qual.hpp"

namespace vorn::py {

nb::list multiple_xic(QualAnalysis& analysis, nb::handle options);

}  // namespace vorn::py
