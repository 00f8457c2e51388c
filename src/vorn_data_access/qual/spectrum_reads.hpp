// Reading a spectrum's points through the reader protocol: position, then
// read. Used wherever a spectrum is read one at a time.
#pragma once

#include <nanobind/nanobind.h>

#include "../_glue/python.hpp"
#include "record_access.hpp"

namespace vorn::py {

inline nb::object read_points_at(nb::handle spectrum_index, bool profile) {
  nb::object reader = spectrum_reader(spectrum_index);
  nb::object position =
      profile ? spectrum_profile_position(spectrum_index) : spectrum_position(spectrum_index);
  reader.attr("_VdpFileReader__set_buffer")(position);
  return reader.attr("_VdpFileReader__read_spectrum")();
}

inline nb::object read_dad_points_at(nb::handle spectrum_index, nb::handle wavelength_arr) {
  nb::object reader = spectrum_reader(spectrum_index);
  reader.attr("_VdpFileReader__set_buffer")(spectrum_position(spectrum_index));
  if (is_none_eq(wavelength_arr)) return reader.attr("_VdpFileReader__read_spectrum")();
  return reader.attr("_VdpFileReader__read_dad_spectrum")(wavelength_arr);
}

}  // namespace vorn::py
