// Value types of module `common` shared by the binding modules: the range and
// the chromatogram point.
#pragma once

#include <nanobind/nanobind.h>

#include <cstdint>

namespace vorn::py {

namespace nb = nanobind;

// ValueRange: an inclusive numeric range with value equality.
struct ValueRange {
  double min = 0;
  double max = 0;
  bool contains(double v) const { return min <= v && v <= max; }
};

// SpectrumBasedChromatogramPoint: the four values exactly as given (the max
// plot's integer 0 and -1 stay integers). A plain CPython object, since
// chromatograms come by the million: creating one costs one allocation.
struct ChromatogramPointObject {
  PyObject_HEAD
  PyObject* spectrum_index;
  PyObject* retention_time;
  PyObject* intensity;
  PyObject* base_x;
};

// Values that can hold no reference to another object, so no cycle.
inline bool atomic_value(PyObject* v) {
  return v == Py_None || PyFloat_CheckExact(v) || PyLong_CheckExact(v) || PyBool_Check(v) ||
         PyUnicode_CheckExact(v);
}

// A point of the class itself (not a subclass), its fields unset: the caller
// sets all four, then calls `finish_chromatogram_point`. Points take part in
// cyclic garbage collection (their values may be anything), but like tuples
// of numbers the collector need not watch one that holds only atomic values.
inline PyObject* alloc_chromatogram_point(PyTypeObject* type) {
  return reinterpret_cast<PyObject*>(_PyObject_GC_New(type));
}

inline void finish_chromatogram_point(PyObject* o) {
  auto* p = reinterpret_cast<ChromatogramPointObject*>(o);
  if (!atomic_value(p->spectrum_index) || !atomic_value(p->retention_time) ||
      !atomic_value(p->intensity) || !atomic_value(p->base_x))
    PyObject_GC_Track(o);
}

// A new point of `type` (the class or a subclass); the values are borrowed.
// `exact`: `type` is the class itself (not a subclass).
inline PyObject* new_chromatogram_point(PyTypeObject* type, PyObject* spectrum_index,
                                        PyObject* retention_time, PyObject* intensity,
                                        PyObject* base_x, bool exact = false) {
  PyObject* o = exact ? alloc_chromatogram_point(type) : type->tp_alloc(type, 0);
  if (!o) return nullptr;
  auto* p = reinterpret_cast<ChromatogramPointObject*>(o);
  p->spectrum_index = Py_NewRef(spectrum_index);
  p->retention_time = Py_NewRef(retention_time);
  p->intensity = Py_NewRef(intensity);
  p->base_x = Py_NewRef(base_x);
  if (exact) finish_chromatogram_point(o);
  return o;
}

}  // namespace vorn::py

namespace vorn::py {

// Flag values of AnalysisTypes and QuanAnalysisTypes. ALL is no restriction
// at all, so that every combination of kinds differs from it.
enum class AnalysisTypes : uint32_t { ALL = 0, QUAL = 1, QUAN = 2, DAD = 4, ANALOG = 8 };
enum class QuanAnalysisTypes : uint32_t { ALL = 0, SIM = 1, SRM = 2 };

}  // namespace vorn::py
