// Module vorn_data_access.writer: writing container files.
#include <nanobind/nanobind.h>

#include "../_glue/errors.hpp"
#include "writer.hpp"

namespace nb = nanobind;

struct AutoValue {};

NB_MODULE(writer, m) {
  using namespace vorn::py;
  m.doc() =
      "Writing container files: VornWriter -> add_measurement -> add_*_function -> add_spectrum.";
  nb::module_::import_("vorn_data_access.common");
  nb::module_::import_("vorn_data_access._internal._description");
  register_core_errors();
  nb::class_<AutoValue>(m, "AutoValue", "Marks a value the writer computes from the points.")
      .def("__repr__", [](const AutoValue&) { return "AUTO"; });
  m.attr("AUTO") = nb::cast(AutoValue{});
  register_writer(m);
  register_function_writer(m);
}
