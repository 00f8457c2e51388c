// The two records an analysis makes per spectrum, SpectrumIndex and
// InternalSpectrumDescription, as plain CPython objects: an analysis of
// 50,000 spectra makes 100,000 of them, so each costs one small allocation.
// A description keeps its decoded values in a table shared by its block and
// turns a field into a Python object when the field is first read (or
// assigned). Module _index defines the one type, _description the other; any
// module reads them through these layouts.
#pragma once

#include <Python.h>
#include <nanobind/nanobind.h>

#include <memory>
#include <vector>

#include "convert.hpp"
#include "vorn_core/records.hpp"

namespace vorn::py {

namespace nb = nanobind;

enum SpectrumField {
  kIndex,
  kRetentionTime,
  kAcquisitionCondition,
  kAcquisitionConditionIndex,
  kMsLevel,
  kPolarity,
  kCollisionEnergy,
  kConeVoltage,
  kMassRange,
  kPrecursorRange,
  kPrecursorValue,
  kPrecursorIndex,
  kProductIndices,
  kSpectrumType,
  kIsProfileSpectrumMeasured,
  kCurrentTotalIon,
  kBasePeakMz,
  kBasePeakIntensity,
  kSupplementalProperties,
  // Added in format 1.1.
  kPrecursorCharge,
  kPossibleChargeStates,
  kPrecursorIntensity,
  kActivationMethod,
  kIsolationWindowTarget,
  kIsolationWindowLowerOffset,
  kIsolationWindowUpperOffset,
  kIonInjectionTime,
  kSpectrumFieldCount
};

inline constexpr const char* kSpectrumFieldNames[kSpectrumFieldCount] = {
    "index",
    "retention_time",
    "acquisition_condition",
    "acquisition_condition_index",
    "ms_level",
    "polarity",
    "collision_energy",
    "cone_voltage",
    "mass_range",
    "precursor_range",
    "precursor_value",
    "precursor_index",
    "product_indices",
    "spectrum_type",
    "is_profile_spectrum_measured",
    "current_total_ion",
    "base_peak_mz",
    "base_peak_intensity",
    "supplemental_properties",
    "precursor_charge",
    "possible_charge_states",
    "precursor_intensity",
    "activation_method",
    "isolation_window_target",
    "isolation_window_lower_offset",
    "isolation_window_upper_offset",
    "ion_injection_time"};

using SpectrumTable = std::vector<SpectrumDescription>;

struct SpectrumDescriptionObject {
  PyObject_HEAD
  PyObject* table;  // capsule owning a SpectrumTable; null for a record built by hand
  Py_ssize_t row;
  int64_t index;
  PyObject* slots[kSpectrumFieldCount];  // null: not read or assigned yet
};

struct SpectrumIndexObject {
  PyObject_HEAD
  PyObject* reader;
  PyObject* description;
  PyObject* position;          // null: `position_value` (when known), else None
  PyObject* profile_position;  // null: `profile_value`
  int64_t position_value;
  int64_t profile_value;
  bool has_position_value;
};

// The types, found in their modules on first use.
inline PyTypeObject* type_from(const char* module, const char* name) {
  nb::object type = nb::module_::import_(module).attr(name);
  return reinterpret_cast<PyTypeObject*>(type.release().ptr());  // held for good
}

inline PyTypeObject* spectrum_description_type() {
  static PyTypeObject* type =
      type_from("vorn_data_access._internal._description", "InternalSpectrumDescription");
  return type;
}

inline PyTypeObject* spectrum_index_type() {
  static PyTypeObject* type = type_from("vorn_data_access._internal._index", "SpectrumIndex");
  return type;
}

inline SpectrumDescriptionObject* as_description(PyObject* o) {
  return Py_TYPE(o) == spectrum_description_type() ? reinterpret_cast<SpectrumDescriptionObject*>(o)
                                                  : nullptr;
}

inline SpectrumIndexObject* as_spectrum_index(PyObject* o) {
  return Py_TYPE(o) == spectrum_index_type() ? reinterpret_cast<SpectrumIndexObject*>(o) : nullptr;
}

// A table of decoded descriptions wrapped for sharing by its records.
inline nb::object make_spectrum_table(SpectrumTable&& rows) {
  auto* heap = new SpectrumTable(std::move(rows));
  return nb::capsule(heap, [](void* p) noexcept { delete static_cast<SpectrumTable*>(p); });
}

inline const SpectrumDescription* decoded_row(const SpectrumDescriptionObject* d) {
  if (!d->table) return nullptr;
  auto* rows = static_cast<const SpectrumTable*>(PyCapsule_GetPointer(d->table, nullptr));
  return rows ? &(*rows)[static_cast<size_t>(d->row)] : nullptr;
}

// A new description of `type` for row `row` of `table` (both may be null).
inline nb::object new_spectrum_description(PyTypeObject* type, nb::handle table, Py_ssize_t row,
                                           int64_t index) {
  PyObject* o = type->tp_alloc(type, 0);  // zeroed: every slot starts empty
  if (!o) throw nb::python_error();
  auto* d = reinterpret_cast<SpectrumDescriptionObject*>(o);
  d->table = table.is_valid() ? nb::borrow(table).release().ptr() : nullptr;
  d->row = row;
  d->index = index;
  return nb::steal(o);
}

// A new spectrum index record of `type`.
inline nb::object new_spectrum_index(PyTypeObject* type, nb::handle reader, nb::handle description) {
  PyObject* o = type->tp_alloc(type, 0);
  if (!o) throw nb::python_error();
  auto* r = reinterpret_cast<SpectrumIndexObject*>(o);
  r->reader = nb::borrow(reader).release().ptr();
  r->description = nb::borrow(description).release().ptr();
  return nb::steal(o);
}

// A list of integers, or None.
inline nb::object int_list(const std::optional<std::vector<int64_t>>& values) {
  if (!values) return nb::none();
  nb::list l;
  for (int64_t x : *values) l.append(nb::int_(x));
  return l;
}

// Field `f` of a description as a Python object, made from the decoded row on
// first use and kept.
inline nb::object description_field(SpectrumDescriptionObject* d, int f) {
  PyObject*& slot = d->slots[f];
  if (slot) return nb::borrow(slot);
  nb::object v;
  const SpectrumDescription* row = decoded_row(d);
  if (!row) {
    v = nb::none();  // a record built by hand
  } else {
    switch (f) {
      case kIndex: v = nb::int_(d->index); break;
      case kRetentionTime: v = opt(row->retention_time); break;
      case kAcquisitionCondition: v = nb::none(); break;
      case kAcquisitionConditionIndex: v = opt(row->acquisition_condition_index); break;
      case kMsLevel: v = opt(row->ms_level); break;
      case kPolarity: v = opt_enum(row->polarity); break;
      case kCollisionEnergy: v = opt(row->collision_energy); break;
      case kConeVoltage: v = opt(row->cone_voltage); break;
      case kMassRange: v = opt(row->mass_range); break;
      case kPrecursorRange: v = opt(row->precursor_range); break;
      case kPrecursorValue: v = opt(row->precursor_value); break;
      case kPrecursorIndex: v = opt(row->precursor_index); break;
      case kProductIndices: v = int_list(row->product_indices); break;
      case kSpectrumType: v = opt_enum(row->spectrum_type); break;
      case kIsProfileSpectrumMeasured: v = opt(row->is_profile_spectrum_measured); break;
      case kCurrentTotalIon: v = opt(row->current_total_ion); break;
      case kBasePeakMz: v = opt(row->base_peak_mz); break;
      case kBasePeakIntensity: v = opt(row->base_peak_intensity); break;
      case kSupplementalProperties: v = opt(row->supplemental_properties); break;
      case kPrecursorCharge: v = opt(row->precursor_charge); break;
      case kPossibleChargeStates: v = int_list(row->possible_charge_states); break;
      case kPrecursorIntensity: v = opt(row->precursor_intensity); break;
      case kActivationMethod: v = opt(row->activation_method); break;
      case kIsolationWindowTarget: v = opt(row->isolation_window_target); break;
      case kIsolationWindowLowerOffset: v = opt(row->isolation_window_lower_offset); break;
      case kIsolationWindowUpperOffset: v = opt(row->isolation_window_upper_offset); break;
      case kIonInjectionTime: v = opt(row->ion_injection_time); break;
      default: v = nb::none();
    }
  }
  slot = nb::object(v).release().ptr();
  return v;
}

inline void set_description_field(SpectrumDescriptionObject* d, int f, nb::handle value) {
  PyObject* old = d->slots[f];
  d->slots[f] = nb::borrow(value).release().ptr();
  Py_XDECREF(old);
}

// The retention time as a double, without making a Python object, when it is
// a float (decoded or assigned); false when it is None or another object.
inline bool description_retention_time(const SpectrumDescriptionObject* d, double& out) {
  if (PyObject* s = d->slots[kRetentionTime]) {
    if (!PyFloat_CheckExact(s)) return false;
    out = PyFloat_AS_DOUBLE(s);
    return true;
  }
  const SpectrumDescription* row = decoded_row(d);
  if (!row || !row->retention_time) return false;
  out = *row->retention_time;
  return true;
}

inline nb::object spectrum_index_position(SpectrumIndexObject* r, bool profile) {
  PyObject*& slot = profile ? r->profile_position : r->position;
  if (!slot) {
    if (profile)
      slot = PyLong_FromLongLong(r->profile_value);
    else
      slot = r->has_position_value ? PyLong_FromLongLong(r->position_value) : nb::none().release().ptr();
    if (!slot) throw nb::python_error();
  }
  return nb::borrow(slot);
}

// The position as an integer without a Python object where possible.
inline int64_t spectrum_index_position_value(SpectrumIndexObject* r) {
  if (!r->position && r->has_position_value) return r->position_value;
  return nb::cast<int64_t>(spectrum_index_position(r, false));
}

}  // namespace vorn::py
