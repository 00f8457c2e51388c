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

struct SpectrumDescription {
  std::optional<double> retention_time;
  std::optional<uint32_t> acquisition_condition_index;
  std::optional<int64_t> ms_level;
  std::optional<Polarity> polarity;
  std::optional<double> collision_energy;
  std::optional<double> cone_voltage;
  std::optional<Range> mass_range;
  std::optional<Range> precursor_range;
  std::optional<double> precursor_value;
  std::optional<int64_t> precursor_index;
  std::optional<std::vector<int64_t>> product_indices;
  std::optional<SpectrumType> spectrum_type;
  std::optional<bool> is_profile_spectrum_measured;
  std::optional<double> current_total_ion;
  std::optional<double> base_peak_mz;
  std::optional<double> base_peak_intensity;
  std::optional<Properties> supplemental_properties;
  // Format 1.1: details of the first precursor and of the scan.
  std::optional<int64_t> precursor_charge;
  std::optional<std::vector<int64_t>> possible_charge_states;
  std::optional<double> precursor_intensity;
  std::optional<std::string> activation_method;  // PSI-MS term names, ", " between several
  std::optional<double> isolation_window_target;
  std::optional<double> isolation_window_lower_offset;
  std::optional<double> isolation_window_upper_offset;
  std::optional<double> ion_injection_time;  // milliseconds
};

}  // namespace vorn
