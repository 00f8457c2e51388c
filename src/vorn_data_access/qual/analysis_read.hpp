// Shared by the MS and diode-array analyses: reading a function's spectrum
// index block into SpectrumIndex records, and the nearest-spectrum search.
#pragma once

#include <nanobind/nanobind.h>

namespace vorn::py {

namespace nb = nanobind;

// Reads the spectrum index block at `position` through `reader`: the block's
// records in order, with their profile positions set when the block has them.
nb::list read_spectrum_index_list(nb::handle reader, nb::handle position);

// Index of the spectrum whose retention time is nearest (ties to the lowest
// index), or -1 when no spectrum has one.
Py_ssize_t nearest_spectrum(nb::handle spectrum_index_list, nb::handle retention_time);

}  // namespace vorn::py
