#include <nanobind/nanobind.h>
#include <nanobind/ndarray.h>
#include <nanobind/stl/string.h>

#include <string>
#include <vector>

#include "../../_glue/arrays.hpp"
#include "../../_glue/point_list.hpp"
#include "../../_glue/python.hpp"
#include "../../_glue/reader.hpp"
#include "../../_glue/xic_fill.hpp"

namespace nb = nanobind;
using namespace nb::literals;

namespace vorn::py {

namespace {

std::string fs_path(nb::handle path) {
  nb::bytes encoded(nb::module_::import_("os").attr("fsencode")(path));
  return std::string(encoded.c_str(), encoded.size());
}

nb::object point_list(SpectrumPoints&& p) {
  return make_instance<SpectrumPointList>(std::move(p.x), std::move(p.intensity));
}

// Wavelengths from a WavelengthArray (at its precision), or any sequence of
// numbers (as float64).
FloatArray wavelengths_of(nb::handle arr) {
  if (const WavelengthArray* a = exact<WavelengthArray>(arr)) return a->values;
  std::vector<double> w;
  for (nb::handle v : arr) w.push_back(number(v));
  return FloatArray(std::move(w));
}

SpectrumPoints dad_points(SpectrumPoints p, const FloatArray& wavelengths) {
  if (p.x.size() == 0 && p.intensity.size() > 0) {
    if (wavelengths.size() != p.intensity.size())
      throw FormatError("absorbance spectrum has " + std::to_string(p.intensity.size()) +
                            " values for " + std::to_string(wavelengths.size()) + " wavelengths",
                        0);
    p.x = wavelengths;
  }
  return p;
}

}  // namespace

void register_reader(nb::module_& m) {
  bind_value_array<Int64Array>(m, "Int64Array", "Offsets read from an index block.");
  bind_wavelength_array(m);

  nb::class_<VdpStream>(m, "VdpStream", "The open file of a reader.")
      .def_prop_ro("closed", &VdpStream::closed, "Whether the file is closed.")
      .def(
          "close",
          [](VdpStream& s) {
            if (s.core) s.core->close();
          },
          "Closes the file; later reads fail. Closing again does nothing.");

  using R = VdpFileReader;
  nb::class_<R> cls(
      m, "VdpFileReader",
      "Reads one container file: a memory map with one cursor, shared by every object "
      "made from the file. Members are private, reached by their mangled names.");
  def_classmethod(
      cls, "_VdpFileReader__create_instance",
      [](nb::handle c, nb::handle file_path) {
        auto core = std::make_shared<ContainerReader>(fs_path(file_path));
        nb::object stream = make_instance<VdpStream>(core);
        return make_instance<R>(c, core, stream);
      },
      nb::arg("cls"), "file_path"_a);
  cls.def(nb::init<>())
      .def_prop_rw(
          "_VdpFileReader__stream",
          [](R& r) { return r.stream.is_valid() ? r.stream : nb::none(); },
          [](R& r, nb::object v) { r.stream = std::move(v); },
          nb::for_setter(nb::arg("value").none()))
      .def(
          "_VdpFileReader__set_buffer",
          [](R& r, nb::int_ position) {
            // Positions come from offsets a caller added up in Python: a
            // hostile offset can make any int, which is a format fault here.
            // Past 64 bits it is still just beyond the end, which the next
            // read reports with the position.
            int overflow = 0;
            long long value = PyLong_AsLongLongAndOverflow(position.ptr(), &overflow);
            if (overflow < 0 || (!overflow && value < 0))
              throw FormatError("negative file position " + std::string(nb::str(position).c_str()),
                                0);
            r.get().set_buffer(overflow ? UINT64_MAX : static_cast<uint64_t>(value));
          },
          "position"_a)
      .def(
          "_VdpFileReader__confirm_vorn_symbol",
          [](R& r, Symbol symbol) { r.get().confirm_symbol(static_cast<uint32_t>(symbol)); },
          "symbol"_a)
      .def("_VdpFileReader__get_absolute_position",
           [](R& r) { return r.get().absolute_position(); })
      .def("_VdpFileReader__read_uint16", [](R& r) { return r.get().read_u16(); })
      .def("_VdpFileReader__read_uint16_or_32", [](R& r) { return r.get().read_u16_or_32(); })
      .def("_VdpFileReader__read_uint32", [](R& r) { return r.get().read_u32(); })
      .def("_VdpFileReader__read_bool", [](R& r) { return r.get().read_bool(); })
      .def("_VdpFileReader__read_int64_array",
           [](R& r) { return Int64Array{r.get().read_int64_array()}; })
      .def("_VdpFileReader__set_decompressed_buffer",
           [](R& r) { r.get().set_decompressed_buffer(); })
      .def("_VdpFileReader__reset_decompressed_buffer",
           [](R& r) { r.get().reset_decompressed_buffer(); })
      .def("_VdpFileReader__read_spectrum",
           [](R& r) { return point_list(read_spectrum_with_x(r.get())); })
      .def(
          "_VdpFileReader__read_dad_spectrum",
          [](R& r, nb::handle wavelength_arr) {
            return point_list(dad_points(r.get().read_spectrum(), wavelengths_of(wavelength_arr)));
          },
          "wavelength_arr"_a)
      .def(
          "_VdpFileReader__read_spectrum_for_multiple_xic",
          [](R& r, nb::handle xic_infos) {
            auto targets = xic_targets(xic_infos);
            auto [lo, hi] = union_of(targets);
            SpectrumPoints p = r.get().read_spectrum_window(lo, hi);
            if (p.x.size() != p.intensity.size())
              throw FormatError("spectrum stores no x values; read it with its wavelengths", 0);
            fill_xic_targets(targets, p.x, p.intensity);
          },
          "xic_infos"_a)
      .def(
          "_VdpFileReader__read_dad_spectrum_for_multiple_xic",
          [](R& r, nb::handle xic_infos, nb::handle wavelength_arr) {
            auto targets = xic_targets(xic_infos);
            SpectrumPoints p = dad_points(r.get().read_spectrum(), wavelengths_of(wavelength_arr));
            fill_xic_targets(targets, p.x, p.intensity);
          },
          "xic_infos"_a, "wavelength_arr"_a);
}

}  // namespace vorn::py
