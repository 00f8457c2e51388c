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

struct MeasurementDescription {
  std::optional<std::string> hash;
  std::optional<std::string> sample_name;
  std::optional<std::string> sample_id;
  std::optional<std::string> acquisition_method_file_name;
  std::optional<double> dilution_factor;
  std::optional<double> injection_volume;
  std::optional<std::string> original_file_path;
  std::optional<std::string> instrument_product_name;
  std::optional<std::string> measurement_user_name;
  std::optional<std::string> plate_code;
  std::optional<std::string> well_code;
  std::optional<std::string> measurement_date_time;
  std::optional<std::string> instrument_manufacturer;
  std::optional<std::string> source_file_definition;
  std::optional<Properties> supplemental_properties;
};

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
