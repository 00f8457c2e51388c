// Module vorn_data_access._internal._description: description records and
// their enumerations.
#include <nanobind/nanobind.h>

#include "../../_glue/bind_record.hpp"
#include "../../_glue/convert.hpp"
#include "../../_glue/records.hpp"

namespace nb = nanobind;

namespace vorn::py {
namespace {

void register_enums(nb::module_& m) {
  nb::enum_<DetectorType>(m, "DetectorTypes", "Detector of a function.")
      .value("MS", DetectorType::kMs, "Mass spectrometer.")
      .value("DAD", DetectorType::kDiodeArray, "Diode-array detector.")
      .value("ANALOG", DetectorType::kAnalog, "Analog detector.");
  nb::enum_<TripleQScanType>(m, "TripleQScanTypes", "Scan modes of a triple quadrupole.")
      .value("PRODUCT", TripleQScanType::kProduct, "Product-ion scan.")
      .value("PRECURSOR", TripleQScanType::kPrecursor, "Precursor-ion scan.")
      .value("NEUTRAL_LOSS", TripleQScanType::kNeutralLoss, "Neutral-loss scan.")
      .value("NEUTRAL_GAIN", TripleQScanType::kNeutralGain, "Neutral-gain scan.");
  nb::enum_<VendorType>(m, "VendorSpecificAdditionalConditionTypes",
                        "Instrument software whose own acquisition parameter a condition carries.")
      .value("WATERS_MASS_LYNX", VendorType::kWatersMassLynx, "Waters MassLynx.")
      .value("THERMO_FISHER_RAW_FILE_READER", VendorType::kThermoFisherRawFileReader,
             "Thermo Fisher RawFileReader.")
      .value("SHIMADZU_IO_MODULE", VendorType::kShimadzuIoModule, "Shimadzu IoModule.")
      .value("SCIEX_ANALYST", VendorType::kSciexAnalyst, "SCIEX Analyst.")
      .value("AGILENT_MASS_HUNTER", VendorType::kAgilentMassHunter, "Agilent MassHunter.");
}

}  // namespace

void register_spectrum_description(nb::module_& m);

}  // namespace vorn::py

NB_MODULE(_description, m) {
  using namespace vorn::py;
  m.doc() = "Description records of the container format and their enumerations.";
  nb::module_::import_("vorn_data_access.common");
  register_enums(m);
  bind_record<MeasurementDescriptionRecord>(m, "Metadata of one measurement.");
  bind_record<FunctionDescriptionRecord>(m, "Kind and description of one function.");
  bind_record<QualDescriptionRecord>(m,
                                     "Description of a qualitative (MS or diode-array) function.");
  bind_record<QuanDescriptionRecord>(m, "Description of a quantitative or analog function.");
  bind_record<AcquisitionConditionRecordObj>(m, "A stored distinct acquisition condition.");
  bind_record<CoreConditionRecord>(m, "The core of a stored acquisition condition.");
  bind_record<TripleQScanRecord>(m, "A triple-quadrupole scan mode.");
  bind_record<VendorConditionRecord>(m, "An instrument vendor's own acquisition parameter.");
  register_spectrum_description(m);
}
