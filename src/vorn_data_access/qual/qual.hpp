// Module vorn_data_access.qual: mass-spectrometry and diode-array analyses.
// Declarations shared by the module's binding files.
#pragma once

#include <nanobind/nanobind.h>

#include <array>

namespace vorn::py {

namespace nb = nanobind;

// A collaborator by its module-level name, looked up when used.
nb::object qual_name(const char* name);

// The largest finite double as `sys.float_info.max` reports it now.
double float_info_max();

// Objects holding their private fields in order.
template <size_t N>
struct Fields {
  std::array<nb::object, N> f;
};

// Scan conditions (one template instance per class) and vendor conditions.
template <int Kind>
struct ScanCondition : Fields<3> {};
template <int Kind>
struct VendorConditionValue : Fields<2> {};

struct AcquisitionCondition {
  // In the order of equality and hash; `additional` is the list.
  enum Field {
    kMsLevel,
    kPolarity,
    kCollisionEnergy,
    kPrecursorValue,
    kOriginalType,
    kPrecursorRange,
    kMassRange,
    kAdditional
  };
  std::array<nb::object, 8> f;
};

struct ChromatogramFilterOption {
  nb::object acquisition_condition, extract_mz_range, retention_time_range;
};

struct Spectrum {
  nb::object spectrum_index, index, points;
};

struct DADSpectrum {
  nb::object spectrum_index, index, wavelength_arr, points;
};

struct QualAnalysis {
  nb::object function_index, index, reader, spectrum_index_list, unique_conditions;
};

struct DADAnalysis {
  nb::object function_index, index, reader, spectrum_index_list;
};

// Builds an AcquisitionCondition from a stored condition record or a spectrum
// description.
nb::object make_acquisition_condition(nb::handle argument);
bool is_acquisition_condition(nb::handle h);

// `a == b` for conditions: natively when both are AcquisitionCondition
// instances (the same field comparisons as __eq__), else by the interpreter.
bool conditions_equal(nb::handle a, nb::handle b);

void register_scan_conditions(nb::module_& m);
void register_vendor_conditions(nb::module_& m);
void register_acquisition_condition(nb::module_& m);
void register_filter_option(nb::module_& m);
void register_spectra(nb::module_& m);
void register_qual_analysis(nb::module_& m);
void register_dad_analysis(nb::module_& m);

// The array results and sequence protocol beside the point-list methods.
void add_qual_analysis_arrays(nb::class_<QualAnalysis>& cls);
void add_dad_analysis_arrays(nb::class_<DADAnalysis>& cls);

// Vendor conditions built from a record (by its type) or a bare voltage.
nb::object vendor_condition_from_record(nb::handle record);
nb::object vendor_condition_from_voltage(const char* class_name, nb::handle voltage);
nb::object scan_condition_from_record(nb::handle record);

}  // namespace vorn::py
