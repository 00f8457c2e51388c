// Module vorn_data_access.common: shared enumerations, the value range and the
// chromatogram point.
#include <nanobind/nanobind.h>

namespace nb = nanobind;

namespace vorn::py {
void register_enums(nb::module_& m);
void register_value_range(nb::module_& m);
void register_chromatogram_point(nb::module_& m);
}  // namespace vorn::py

NB_MODULE(common, m) {
  m.doc() = "Shared enumerations, ValueRange and SpectrumBasedChromatogramPoint.";
  vorn::py::register_enums(m);
  vorn::py::register_value_range(m);
  vorn::py::register_chromatogram_point(m);
}
