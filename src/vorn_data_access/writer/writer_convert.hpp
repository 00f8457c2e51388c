// Python values to the core's record fields, with the checks a writer owes
// its caller: a wrong type or value is a ValueError/TypeError naming the
// field, never a silently stored surprise.
#pragma once

#include <nanobind/nanobind.h>
#include <nanobind/stl/string.h>

#include <optional>
#include <string>

#include "../_glue/convert.hpp"
#include "../_glue/python.hpp"
#include "../_glue/value_types.hpp"

namespace vorn::py {

inline bool absent(nb::handle h) {
  return !h.is_valid() || h.is_none();
}

inline std::optional<double> opt_double(nb::handle h, const char* field) {
  if (absent(h)) return std::nullopt;
  if (!PyFloat_Check(h.ptr()) && !PyLong_Check(h.ptr()) &&
      !PyObject_HasAttrString(h.ptr(), "__float__"))
    throw nb::type_error((std::string(field) + " must be a number or None").c_str());
  return nb::cast<double>(h);
}

inline std::optional<int64_t> opt_int(nb::handle h, const char* field) {
  if (absent(h)) return std::nullopt;
  if (PyFloat_Check(h.ptr()))
    throw nb::type_error((std::string(field) + " must be an integer or None").c_str());
  return nb::cast<int64_t>(h);
}

inline std::optional<std::string> opt_text(nb::handle h, const char* field) {
  if (absent(h)) return std::nullopt;
  if (!nb::isinstance<nb::str>(h))
    throw nb::type_error((std::string(field) + " must be str or None").c_str());
  return nb::cast<std::string>(h);
}

inline std::optional<bool> opt_bool(nb::handle h) {
  if (absent(h)) return std::nullopt;
  return truth(h);
}

// A ValueRange, or a pair (min, max).
inline std::optional<Range> opt_range(nb::handle h, const char* field) {
  if (absent(h)) return std::nullopt;
  if (const ValueRange* r = instance_of<ValueRange>(h)) return Range{r->min, r->max};
  if (PySequence_Check(h.ptr()) && PySequence_Length(h.ptr()) == 2)
    return Range{nb::cast<double>(h[0]), nb::cast<double>(h[1])};
  throw nb::type_error(
      (std::string(field) + " must be a ValueRange, a (min, max) pair or None").c_str());
}

template <typename E>
std::optional<E> opt_enum_value(nb::handle h, const char* field) {
  if (absent(h)) return std::nullopt;
  try {
    return nb::cast<E>(h);
  } catch (const nb::cast_error&) {
    throw nb::type_error((std::string(field) + " has the wrong enumeration type").c_str());
  }
}

inline nb::object item(nb::handle dict, const char* key) {
  PyObject* v = PyDict_GetItemString(dict.ptr(), key);
  return v ? nb::borrow(v) : nb::none();
}

inline void check_keys(nb::handle dict, std::initializer_list<const char*> allowed,
                       const char* what) {
  if (!PyDict_Check(dict.ptr()))
    throw nb::type_error((std::string(what) + " must be a dict").c_str());
  for (nb::handle key : nb::borrow<nb::dict>(dict).keys()) {
    std::string k = nb::cast<std::string>(key);
    bool ok = false;
    for (const char* a : allowed) ok |= k == a;
    if (!ok) throw nb::value_error((std::string(what) + " has no field '" + k + "'").c_str());
  }
}

inline std::optional<VendorCondition> vendor_from_dict(nb::handle d) {
  if (absent(d)) return std::nullopt;
  check_keys(d, {"type", "original_id", "cone_voltage", "scan_info_string"}, "vendor_condition");
  VendorCondition v;
  auto type = opt_enum_value<VendorType>(item(d, "type"), "vendor_condition type");
  if (!type) throw nb::value_error("vendor_condition needs a type");
  v.type = *type;
  v.original_id = opt_int(item(d, "original_id"), "original_id");
  v.cone_voltage = opt_double(item(d, "cone_voltage"), "cone_voltage");
  v.scan_info_string = opt_text(item(d, "scan_info_string"), "scan_info_string");
  return v;
}

inline std::optional<TripleQScan> triple_q_from_dict(nb::handle d) {
  if (absent(d)) return std::nullopt;
  check_keys(d, {"type", "target_mz", "q1_range", "q3_range"}, "triple_q_scan_condition");
  TripleQScan t;
  auto type = opt_enum_value<TripleQScanType>(item(d, "type"), "triple_q_scan_condition type");
  if (!type) throw nb::value_error("triple_q_scan_condition needs a type");
  t.type = *type;
  t.target_mz = opt_double(item(d, "target_mz"), "target_mz");
  t.q1_range = opt_range(item(d, "q1_range"), "q1_range");
  t.q3_range = opt_range(item(d, "q3_range"), "q3_range");
  return t;
}

inline AcquisitionConditionRecord condition_from_dict(nb::handle d) {
  check_keys(
      d,
      {"ms_level", "polarity", "collision_energy", "mass_range", "original_measured_spectrum_type",
       "precursor_range", "precursor_value", "vendor_condition", "triple_q_scan_condition"},
      "acquisition condition");
  AcquisitionConditionRecord c;
  c.core.ms_level = opt_int(item(d, "ms_level"), "ms_level");
  c.core.polarity = opt_enum_value<Polarity>(item(d, "polarity"), "polarity");
  c.core.collision_energy = opt_double(item(d, "collision_energy"), "collision_energy");
  c.core.mass_range = opt_range(item(d, "mass_range"), "mass_range");
  c.core.original_measured_spectrum_type = opt_enum_value<SpectrumType>(
      item(d, "original_measured_spectrum_type"), "original_measured_spectrum_type");
  c.core.vendor = vendor_from_dict(item(d, "vendor_condition"));
  c.core.triple_q = triple_q_from_dict(item(d, "triple_q_scan_condition"));
  c.precursor_range = opt_range(item(d, "precursor_range"), "precursor_range");
  c.precursor_value = opt_double(item(d, "precursor_value"), "precursor_value");
  return c;
}

}  // namespace vorn::py
