#include <nanobind/nanobind.h>

#include "../_glue/python.hpp"
#include "qual.hpp"

namespace nb = nanobind;
using namespace nb::literals;

namespace vorn::py {
namespace {

nb::str option_text(const ChromatogramFilterOption& o) {
  nb::list parts;
  parts.append(nb::str("[AcquisitionCondition] "));
  parts.append(text(o.acquisition_condition));
  parts.append(nb::str(", [Extract m/z Range] "));
  parts.append(text(o.extract_mz_range));
  if (!is_none_eq(o.retention_time_range)) {
    parts.append(nb::str(", [Retention Time Range] "));
    parts.append(text(o.retention_time_range));
  }
  return nb::str(nb::str("").attr("join")(parts));
}

}  // namespace

void register_filter_option(nb::module_& m) {
  using O = ChromatogramFilterOption;
  nb::class_<O>(m, "ChromatogramFilterOption",
                "One extracted-ion chromatogram request: the acquisition condition of the spectra "
                "to use, the m/z window to sum and an optional retention-time window. Values are "
                "stored as given and read when an extraction runs.")
      .def(nb::init<nb::object, nb::object, nb::object>(), "acquisition_condition"_a.none(),
           "extract_mz_range"_a.none(), "retention_time_range"_a.none() = nb::none())
      .def_rw("acquisition_condition", &O::acquisition_condition,
              "The AcquisitionCondition whose spectra the chromatogram uses.",
              nb::for_setter(nb::arg("value").none()))
      .def_rw("extract_mz_range", &O::extract_mz_range, "The m/z window (ValueRange) summed.",
              nb::for_setter(nb::arg("value").none()))
      .def_rw("retention_time_range", &O::retention_time_range,
              "Retention-time window (ValueRange), or None for no limit.",
              nb::for_setter(nb::arg("value").none()))
      .def("__str__", &option_text)
      .def("__repr__", &option_text)
      .def("__getstate__",
           [](const O& o) {
             return nb::make_tuple(o.acquisition_condition, o.extract_mz_range,
                                   o.retention_time_range);
           })
      .def("__setstate__", [](O& o, const nb::tuple& t) {
        if (nb::len(t) != 3) throw nb::value_error("bad ChromatogramFilterOption state");
        new (&o) O{t[0], t[1], t[2]};
      });
}

}  // namespace vorn::py
