// The records of the container format as plain C++ values, shared by the
// reader and the writer. Optional fields are std::optional: absent reads as
// None in Python.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "format.hpp"

namespace vorn {

struct Range {
  double min = 0;
  double max = 0;
  bool operator==(const Range&) const = default;
};

// A supplemental property value: None, bool, integer, float or text.
using PropertyValue = std::variant<std::monostate, bool, int64_t, double, std::string>;
using Properties = std::vector<std::pair<std::string, PropertyValue>>;

// The measurement description's fields in their stored order (bit i of the
// record's presence mask stands for field i), as X(member, type, words, kind):
// `words` names the field in messages, `kind` says what values the writer
// takes for it (text, number, date_time or properties). The record, its codec
// and limits, the reader layer's record type, the measurement's metadata
// properties and the writer's keywords are all made from this one list.
#define VORN_MEASUREMENT_FIELDS(X)                                                   \
  X(hash, std::string, "hash", text)                                                 \
  X(sample_name, std::string, "sample name", text)                                   \
  X(sample_id, std::string, "sample id", text)                                       \
  X(acquisition_method_file_name, std::string, "acquisition method file name", text) \
  X(dilution_factor, double, "dilution factor", number)                              \
  X(injection_volume, double, "injection volume", number)                            \
  X(original_file_path, std::string, "original file path", text)                     \
  X(instrument_product_name, std::string, "instrument product name", text)           \
  X(measurement_user_name, std::string, "measurement user name", text)               \
  X(plate_code, std::string, "plate code", text)                                     \
  X(well_code, std::string, "well code", text)                                       \
  X(measurement_date_time, std::string, "measurement date time", date_time)          \
  X(instrument_manufacturer, std::string, "instrument manufacturer", text)           \
  X(source_file_definition, std::string, "source file definition", text)             \
  X(supplemental_properties, Properties, "supplemental properties", properties)

struct MeasurementDescription {
#define VORN_FIELD(member, type, words, kind) std::optional<type> member;
  VORN_MEASUREMENT_FIELDS(VORN_FIELD)
#undef VORN_FIELD
};

#define VORN_FIELD(member, type, words, kind) #member,
inline constexpr std::array kMeasurementFieldNames = {VORN_MEASUREMENT_FIELDS(VORN_FIELD)};
#undef VORN_FIELD

struct VendorCondition {
  VendorType type = VendorType::kWatersMassLynx;
  std::optional<int64_t> original_id;
  std::optional<double> cone_voltage;
  std::optional<std::string> scan_info_string;
};

struct TripleQScan {
  TripleQScanType type = TripleQScanType::kProduct;
  std::optional<double> target_mz;
  std::optional<Range> q1_range;
  std::optional<Range> q3_range;
};

struct CoreCondition {
  std::optional<int64_t> ms_level;
  std::optional<Polarity> polarity;
  std::optional<double> collision_energy;
  std::optional<Range> mass_range;
  std::optional<SpectrumType> original_measured_spectrum_type;
  std::optional<VendorCondition> vendor;
  std::optional<TripleQScan> triple_q;
};

struct AcquisitionConditionRecord {
  CoreCondition core;
  std::optional<Range> precursor_range;
  std::optional<double> precursor_value;
};

struct FunctionDescription {
  bool is_qual = true;
  DetectorType detector = DetectorType::kMs;
  Properties supplemental_properties;
  std::optional<std::vector<AcquisitionConditionRecord>> conditions;
  std::optional<std::vector<double>> wavelengths;
  bool wavelengths_f32 = false;
};

// The spectrum description's fields in their stored order (bit i of the
// record's presence mask stands for field i), as X(member, type, codec,
// words): `codec` names how the value is stored (record_codec.cpp), `words`
// names it in messages. The fields from precursor_charge on were added in
// format 1.1 (spectrum_description_fields in format.hpp). The record and its
// codec are made from this one list.
#define VORN_SPECTRUM_FIELDS(X)                                                             \
  X(retention_time, double, F64, "retention time")                                          \
  X(acquisition_condition_index, uint32_t, U32, "acquisition condition index")              \
  X(ms_level, int64_t, I64, "ms level")                                                     \
  X(polarity, Polarity, PolarityCode, "polarity")                                           \
  X(collision_energy, double, F64, "collision energy")                                      \
  X(cone_voltage, double, F64, "cone voltage")                                              \
  X(mass_range, Range, RangePair, "mass range")                                             \
  X(precursor_range, Range, RangePair, "precursor range")                                   \
  X(precursor_value, double, F64, "precursor value")                                        \
  X(precursor_index, int64_t, I64, "precursor index")                                       \
  X(product_indices, std::vector<int64_t>, ProductIndexList, "product index")               \
  X(spectrum_type, SpectrumType, SpectrumTypeCode, "spectrum type")                         \
  X(is_profile_spectrum_measured, bool, ProfileFlag, "profile flag")                        \
  X(current_total_ion, double, F64, "total ion current")                                    \
  X(base_peak_mz, double, F64, "base peak m/z")                                             \
  X(base_peak_intensity, double, F64, "base peak intensity")                                \
  X(supplemental_properties, Properties, PropertyTable, "supplemental properties")          \
  X(precursor_charge, int64_t, I64, "precursor charge")                                     \
  X(possible_charge_states, std::vector<int64_t>, ChargeStateList, "possible charge state") \
  X(precursor_intensity, double, F64, "precursor intensity")                                \
  /* PSI-MS term names, ", " between several */                                             \
  X(activation_method, std::string, Text, "activation method")                              \
  X(isolation_window_target, double, F64, "isolation window target")                        \
  X(isolation_window_lower_offset, double, F64, "isolation window lower offset")            \
  X(isolation_window_upper_offset, double, F64, "isolation window upper offset")            \
  /* milliseconds */                                                                        \
  X(ion_injection_time, double, F64, "ion injection time")

struct SpectrumDescription {
#define VORN_FIELD(member, type, codec, words) std::optional<type> member;
  VORN_SPECTRUM_FIELDS(VORN_FIELD)
#undef VORN_FIELD
};

}  // namespace vorn
