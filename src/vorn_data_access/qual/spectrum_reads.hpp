// Reading a spectrum's points through the reader protocol: position, then
// read. Used wherever a spectrum is read one at a time.
#pragma once

#include <nanobind/nanobind.h>

#include "../_glue/python.hpp"
#include "record_access.hpp"

namespace vorn::py {

inline nb::object read_points_at(nb::handle spectrum_index, bool profile) {
  nb::object reader = index_field(spectrum_index, SpectrumIndexRecord::kReader, "reader");
  nb::object position =
      profile ? index_field(spectrum_index, SpectrumIndexRecord::kProfilePosition, "profile_position")
              : index_field(spectrum_index, SpectrumIndexRecord::kPosition, "position");
  reader.attr("_VdpFileReader__set_buffer")(position);
  return reader.attr("_VdpFileReader__read_spectrum")();
}

inline nb::object read_dad_points_at(nb::handle spectrum_index, nb::handle wavelength_arr) {
  nb::object reader = index_field(spectrum_index, SpectrumIndexRecord::kReader, "reader");
  reader.attr("_VdpFileReader__set_buffer")(
      index_field(spectrum_index, SpectrumIndexRecord::kPosition, "position"));
  if (is_none_eq(wavelength_arr)) return reader.attr("_VdpFileReader__read_spectrum")();
  return reader.attr("_VdpFileReader__read_dad_spectrum")(wavelength_arr);
}

}  // namespace vorn::py
