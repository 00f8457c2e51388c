#include <nanobind/nanobind.h>

#include "../_glue/value_types.hpp"
#include "vorn_core/format.hpp"

namespace nb = nanobind;

namespace vorn::py {

void register_enums(nb::module_& m) {
  nb::enum_<Polarity>(m, "PolarityTypes", "Ion polarity of a spectrum; `value` orders them.")
      .value("POSITIVE", Polarity::kPositive)
      .value("NEGATIVE", Polarity::kNegative)
      .value("BOTH", Polarity::kBoth);
  nb::enum_<SpectrumType>(m, "SpectrumTypes", "Whether spectrum points are profile or centroid.")
      .value("PROFILE", SpectrumType::kProfile)
      .value("CENTROID", SpectrumType::kCentroid)
      .value("UNKNOWN", SpectrumType::kUnknown);
  nb::enum_<AnalysisTypes>(m, "AnalysisTypes",
                           "Kinds of analysis to convert; combine with |, test with &. ALL is no "
                           "restriction.",
                           nb::is_flag())
      .value("ALL", AnalysisTypes::ALL)
      .value("QUAL", AnalysisTypes::QUAL)
      .value("QUAN", AnalysisTypes::QUAN)
      .value("DAD", AnalysisTypes::DAD)
      .value("ANALOG", AnalysisTypes::ANALOG);
  nb::enum_<QuanAnalysisTypes>(m, "QuanAnalysisTypes",
                               "Quantitation scan kinds to keep; combine with |, test with &. ALL "
                               "is no restriction.",
                               nb::is_flag())
      .value("ALL", QuanAnalysisTypes::ALL)
      .value("SIM", QuanAnalysisTypes::SIM)
      .value("SRM", QuanAnalysisTypes::SRM);
}

}  // namespace vorn::py
