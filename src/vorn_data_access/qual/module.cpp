// Module vorn_data_access.qual: mass-spectrometry and diode-array analyses.
#include <nanobind/nanobind.h>

namespace nb = nanobind;

struct QualAnalysisPlaceholder {};
struct DADAnalysisPlaceholder {};

NB_MODULE(qual, m) {
  m.doc() = "Mass-spectrometry and diode-array analyses.";
  nb::class_<QualAnalysisPlaceholder>(m, "QualAnalysis");
  nb::class_<DADAnalysisPlaceholder>(m, "DADAnalysis");
}
