#include <nanobind/nanobind.h>

#include "../_glue/value_types.hpp"
#include "vorn_core/format.hpp"

namespace nb = nanobind;

namespace vorn::py {

void register_enums(nb::module_& m) {
  nb::enum_<Polarity>(m, "PolarityTypes", "Ion polarity of a spectrum; `value` orders them.")
      .value("POSITIVE", Polarity::kPositive, "Positive ions.")
      .value("NEGATIVE", Polarity::kNegative, "Negative ions.")
      .value("BOTH", Polarity::kBoth, "Both polarities.");
  nb::enum_<SpectrumType>(m, "SpectrumTypes", "Whether spectrum points are profile or centroid.")
      .value("PROFILE", SpectrumType::kProfile, "Profile (continuum) points.")
      .value("CENTROID", SpectrumType::kCentroid, "Centroid (peak) points.")
      .value("UNKNOWN", SpectrumType::kUnknown, "Not known.");
  nb::enum_<AnalysisTypes>(m, "AnalysisTypes",
                           "Kinds of analysis to convert; combine with |, test with &. ALL is no "
                           "restriction.",
                           nb::is_flag())
      .value("ALL", AnalysisTypes::ALL, "No restriction.")
      .value("QUAL", AnalysisTypes::QUAL, "Mass-spectrometry (qual) analyses.")
      .value("QUAN", AnalysisTypes::QUAN, "Quantitative (SRM/SIM) analyses.")
      .value("DAD", AnalysisTypes::DAD, "Diode-array analyses.")
      .value("ANALOG", AnalysisTypes::ANALOG, "Analog-detector analyses.");
  nb::enum_<QuanAnalysisTypes>(m, "QuanAnalysisTypes",
                               "Quantitation scan kinds to keep; combine with |, test with &. ALL "
                               "is no restriction.",
                               nb::is_flag())
      .value("ALL", QuanAnalysisTypes::ALL, "No restriction.")
      .value("SIM", QuanAnalysisTypes::SIM, "Selected ion monitoring.")
      .value("SRM", QuanAnalysisTypes::SRM, "Selected reaction monitoring.");
}

}  // namespace vorn::py
