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
#include <type_traits>
#include <vector>

#include "convert.hpp"
#include "vorn_core/records.hpp"

namespace vorn::py {

namespace nb = nanobind;

// The binding layer's constant for each field of the spectrum description
// (VORN_SPECTRUM_FIELDS, in that order) as X(member, constant, computed,
// doc): `computed` says that the writer's keyword defaults to AUTO, a value
// the writer computes from the points (an empty table for the properties);
// `doc` is the docstring of the field's own Spectrum property, for the
// fields that have one. The field's Python value, its name in the reader
// layer, the property and the writer's keyword are made from this list and
// the core's, so a new field is named here and in the core only. The fields
// of format 1.0 come first; the writer takes its other keywords (profile and
// conditions) between them and the later ones.
#define VORN_SPECTRUM_FIELD_BINDINGS_1_0(X)                                   \
  X(retention_time, kRetentionTime, false, nullptr)                           \
  X(acquisition_condition_index, kAcquisitionConditionIndex, false, nullptr)  \
  X(ms_level, kMsLevel, false, nullptr)                                       \
  X(polarity, kPolarity, false, nullptr)                                      \
  X(collision_energy, kCollisionEnergy, false, nullptr)                       \
  X(cone_voltage, kConeVoltage, false, nullptr)                               \
  X(mass_range, kMassRange, false, nullptr)                                   \
  X(precursor_range, kPrecursorRange, false, nullptr)                         \
  X(precursor_value, kPrecursorValue, false, nullptr)                         \
  X(precursor_index, kPrecursorIndex, false, nullptr)                         \
  X(product_indices, kProductIndices, false, nullptr)                         \
  X(spectrum_type, kSpectrumType, false, nullptr)                             \
  X(is_profile_spectrum_measured, kIsProfileSpectrumMeasured, false, nullptr) \
  X(current_total_ion, kCurrentTotalIon, true, nullptr)                       \
  X(base_peak_mz, kBasePeakMz, true, nullptr)                                 \
  X(base_peak_intensity, kBasePeakIntensity, true, nullptr)                   \
  X(supplemental_properties, kSupplementalProperties, true, nullptr)

#define VORN_SPECTRUM_FIELD_BINDINGS_1_1_ON(X)                                                  \
  X(precursor_charge, kPrecursorCharge, false, "Charge state of the precursor (int), or None.") \
  X(possible_charge_states, kPossibleChargeStates, false,                                       \
    "Charge states the precursor may have (list of int), or None.")                             \
  X(precursor_intensity, kPrecursorIntensity, false,                                            \
    "Intensity of the selected precursor ion, or None.")                                        \
  X(activation_method, kActivationMethod, false,                                                \
    "How the precursor was activated: PSI-MS term name(s) such as 'beam-type "                  \
    "collision-induced dissociation', several joined by ', '; or None.")                        \
  X(isolation_window_target, kIsolationWindowTarget, false,                                     \
    "Centre m/z of the precursor isolation window, or None.")                                   \
  X(isolation_window_lower_offset, kIsolationWindowLowerOffset, false,                          \
    "How far the isolation window reaches below its target (m/z), or None.")                    \
  X(isolation_window_upper_offset, kIsolationWindowUpperOffset, false,                          \
    "How far the isolation window reaches above its target (m/z), or None.")                    \
  X(ion_injection_time, kIonInjectionTime, false,                                               \
    "Ion injection (accumulation) time of the scan in milliseconds, or None.")

#define VORN_SPECTRUM_FIELD_BINDINGS(X) \
  VORN_SPECTRUM_FIELD_BINDINGS_1_0(X) VORN_SPECTRUM_FIELD_BINDINGS_1_1_ON(X)

// Two fields come first that only the binding layer has: the spectrum's
// index and the condition object the analysis attaches.
enum SpectrumField {
  kIndex,
  kAcquisitionCondition,
#define VORN_FIELD(member, constant, computed, doc) constant,
  VORN_SPECTRUM_FIELD_BINDINGS(VORN_FIELD)
#undef VORN_FIELD
      kSpectrumFieldCount
};

inline constexpr const char* kSpectrumFieldNames[kSpectrumFieldCount] = {
    "index", "acquisition_condition",
#define VORN_FIELD(member, constant, computed, doc) #member,
    VORN_SPECTRUM_FIELD_BINDINGS(VORN_FIELD)
#undef VORN_FIELD
};

namespace spectrum_fields {
// The binding's list names the core's fields, in the core's order.
inline constexpr const char* kCore[] = {
#define VORN_FIELD(member, type, codec, words) #member,
    VORN_SPECTRUM_FIELDS(VORN_FIELD)
#undef VORN_FIELD
};
constexpr bool same_text(const char* a, const char* b) {
  for (; *a && *a == *b; ++a, ++b) {
  }
  return *a == *b;
}
constexpr bool binding_follows_core() {
  constexpr size_t core = sizeof(kCore) / sizeof(kCore[0]);
  if (core + 2 != kSpectrumFieldCount) return false;
  for (size_t i = 0; i < core; ++i)
    if (!same_text(kCore[i], kSpectrumFieldNames[i + 2])) return false;
  return true;
}
static_assert(binding_follows_core(),
              "VORN_SPECTRUM_FIELD_BINDINGS must list the fields of VORN_SPECTRUM_FIELDS in order");

// A decoded field's Python value: enumerations as their Python members, lists
// of integers as lists, everything else by its plain conversion.
template <typename T>
nb::object value(const std::optional<T>& v);
}  // namespace spectrum_fields

using SpectrumTable = std::vector<SpectrumDescription>;

struct SpectrumDescriptionObject {
  PyObject_HEAD PyObject* table;  // capsule owning a SpectrumTable; null for a record built by hand
  Py_ssize_t row;
  int64_t index;
  PyObject* slots[kSpectrumFieldCount];  // null: not read or assigned yet
};

struct SpectrumIndexObject {
  PyObject_HEAD PyObject* reader;
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
inline nb::object new_spectrum_index(PyTypeObject* type, nb::handle reader,
                                     nb::handle description) {
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

template <typename T>
nb::object spectrum_fields::value(const std::optional<T>& v) {
  if constexpr (std::is_enum_v<T>)
    return opt_enum(v);
  else if constexpr (std::is_same_v<T, std::vector<int64_t>>)
    return int_list(v);
  else
    return opt(v);
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
      case kIndex:
        v = nb::int_(d->index);
        break;
      case kAcquisitionCondition:
        v = nb::none();
        break;
#define VORN_FIELD(member, constant, computed, doc) \
  case constant:                                    \
    v = spectrum_fields::value(row->member);        \
    break;
        VORN_SPECTRUM_FIELD_BINDINGS(VORN_FIELD)
#undef VORN_FIELD
      default:
        v = nb::none();
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
      slot = r->has_position_value ? PyLong_FromLongLong(r->position_value)
                                   : nb::none().release().ptr();
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
