// Module vorn_data_access.qual: mass-spectrometry and diode-array analyses.
// Collaborators are module attributes looked up at each use.
#include <nanobind/nanobind.h>

#include "../_glue/errors.hpp"
#include "chromatogram.hpp"
#include "qual.hpp"

namespace nb = nanobind;

namespace vorn::py {
namespace {
PyObject* g_module = nullptr;
PyTypeObject* g_point_type = nullptr;
}  // namespace

nb::object qual_name(const char* name) {
  return nb::handle(g_module).attr(name);
}

double float_info_max() {
  return nb::cast<double>(qual_name("sys").attr("float_info").attr("max"));
}

PyTypeObject* native_point_type() {
  return g_point_type;
}

}  // namespace vorn::py

NB_MODULE(qual, m) {
  using namespace vorn::py;
  m.doc() =
      "Mass-spectrometry analyses (QualAnalysis, Spectrum, AcquisitionCondition and its scan and "
      "vendor conditions, ChromatogramFilterOption) and diode-array analyses (DADAnalysis, "
      "DADSpectrum).";
  g_module = m.ptr();
  register_core_errors();
  auto from = [&](const char* module, std::initializer_list<const char*> names) {
    nb::module_ src = nb::module_::import_(module);
    for (const char* name : names) m.attr(name) = src.attr(name);
  };
  from("vorn_data_access._internal._enum", {"VornSymbols"});
  from("vorn_data_access._internal._index", {"SpectrumIndex"});
  from("vorn_data_access._internal._description",
       {"InternalAcquisitionCondition", "InternalSpectrumDescription",
        "VendorSpecificAdditionalCondition", "VendorSpecificAdditionalConditionTypes",
        "TripleQScanTypes"});
  from("vorn_data_access._internal._reader", {"XicInfo"});
  from("vorn_data_access.common",
       {"SpectrumBasedChromatogramPoint", "ValueRange", "PolarityTypes", "SpectrumTypes"});
  m.attr("sys") = nb::module_::import_("sys");
  g_point_type = reinterpret_cast<PyTypeObject*>(m.attr("SpectrumBasedChromatogramPoint").ptr());

  register_scan_conditions(m);
  register_vendor_conditions(m);
  register_acquisition_condition(m);
  register_filter_option(m);
  register_spectra(m);
  register_qual_analysis(m);
  register_dad_analysis(m);
}
