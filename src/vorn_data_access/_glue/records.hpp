// The reader layer's records as bound C++ types. Most records are a fixed set
// of slots holding arbitrary Python objects, exposed as readable and writable
// attributes under their mangled names (`_JumpTable__num_measurements`), so a
// record can be built empty and filled by hand. The spectrum description is
// the one record made by the ten thousand; it keeps its decoded values in C++
// and turns a field into a Python object only when it is first read.
#pragma once

#include <nanobind/nanobind.h>

#include <array>
#include <cstdint>
#include <string>

#include "vorn_core/records.hpp"

namespace vorn::py {

namespace nb = nanobind;

template <size_t N>
struct SlotRecord {
  static constexpr size_t kSlots = N;
  std::array<nb::object, N> slots;
  nb::object get(size_t i) const { return slots[i].is_valid() ? slots[i] : nb::none(); }
  void set(size_t i, nb::object v) { slots[i] = std::move(v); }
};

struct JumpTableRecord : SlotRecord<8> {
  enum Field { kMajor, kMinor, kRevision, kLibMajor, kLibMinor, kLibRevision, kCount, kList };
  static constexpr const char* kName = "JumpTable";
  static constexpr std::array<const char*, 8> kFields = {
      "major_version",     "minor_version",        "revision_version", "major_lib_version",
      "minor_lib_version", "revision_lib_version", "num_measurements", "measurement_index_list"};
};

struct MeasurementIndexRecord : SlotRecord<3> {
  enum Field { kReader, kPosition, kDescription };
  static constexpr const char* kName = "MeasurementIndex";
  static constexpr std::array<const char*, 3> kFields = {"reader", "position",
                                                         "measurement_description"};
};

struct MeasurementDescriptionRecord : SlotRecord<kMeasurementFieldNames.size()> {
  static constexpr const char* kName = "MeasurementDescription";
  static constexpr auto kFields = kMeasurementFieldNames;
};

struct FunctionIndexRecord : SlotRecord<3> {
  enum Field { kReader, kPosition, kDescription };
  static constexpr const char* kName = "FunctionIndex";
  static constexpr std::array<const char*, 3> kFields = {"reader", "position",
                                                         "function_description"};
};

struct FunctionDescriptionRecord : SlotRecord<3> {
  enum Field { kIsQual, kQual, kQuan };
  static constexpr const char* kName = "FunctionDescription";
  static constexpr std::array<const char*, 3> kFields = {"is_qual", "qual_description",
                                                         "quan_description"};
};

struct QualDescriptionRecord : SlotRecord<4> {
  enum Field { kDetector, kConditions, kProperties, kWavelengths };
  static constexpr const char* kName = "QualDescription";
  static constexpr std::array<const char*, 4> kFields = {
      "detector_type", "unique_acquisition_condition_list", "supplemental_properties",
      "wavelength_arr"};
};

struct QuanDescriptionRecord : SlotRecord<2> {
  enum Field { kDetector, kProperties };
  static constexpr const char* kName = "QuanDescription";
  static constexpr std::array<const char*, 2> kFields = {"detector_type",
                                                         "supplemental_properties"};
};

struct AcquisitionConditionRecordObj : SlotRecord<3> {
  enum Field { kCore, kPrecursorRange, kPrecursorValue };
  static constexpr const char* kName = "InternalAcquisitionCondition";
  static constexpr std::array<const char*, 3> kFields = {"internal_acquisition_core_condition",
                                                         "precursor_range", "precursor_value"};
};

struct CoreConditionRecord : SlotRecord<7> {
  enum Field {
    kMsLevel,
    kPolarity,
    kCollisionEnergy,
    kMassRange,
    kOriginalType,
    kVendor,
    kTripleQ
  };
  static constexpr const char* kName = "InternalAcquisitionCoreCondition";
  static constexpr std::array<const char*, 7> kFields = {"ms_level",
                                                         "polarity",
                                                         "collision_energy",
                                                         "mass_range",
                                                         "original_measured_spectrum_type",
                                                         "vendor_specific_additional_condition",
                                                         "triple_q_scan_condition"};
};

struct TripleQScanRecord : SlotRecord<4> {
  enum Field { kType, kTargetMz, kQ1Range, kQ3Range };
  static constexpr const char* kName = "TripleQScanCondition";
  static constexpr std::array<const char*, 4> kFields = {"type", "target_mz", "q1_range",
                                                         "q3_range"};
};

struct VendorConditionRecord : SlotRecord<4> {
  enum Field { kType, kOriginalId, kConeVoltage, kScanInfo };
  static constexpr const char* kName = "VendorSpecificAdditionalCondition";
  static constexpr std::array<const char*, 4> kFields = {"type", "original_id", "cone_voltage",
                                                         "scan_info_string"};
};

struct XicInfoRecord : SlotRecord<4> {
  enum Field { kRange, kSpectrumPoint, kIsBreakToRead, kXic };
  static constexpr const char* kName = "XicInfo";
  static constexpr std::array<const char*, 4> kFields = {"value_range", "spectrum_point",
                                                         "is_break_to_read", "xic"};
};

}  // namespace vorn::py
