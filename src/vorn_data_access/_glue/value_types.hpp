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
  PyObject_HEAD PyObject* spectrum_index;
  PyObject* retention_time;
  PyObject* intensity;
  PyObject* base_x;
};

// A new point of `type` (the class or a subclass); the values are borrowed.
// `exact`: `type` is the class itself (not a subclass), whose instances need
// no zeroing and no collector tracking, so a plain allocation will do.
inline PyObject* new_chromatogram_point(PyTypeObject* type, PyObject* spectrum_index,
                                        PyObject* retention_time, PyObject* intensity,
                                        PyObject* base_x, bool exact = false) {
  PyObject* o;
  if (exact) {
    o = static_cast<PyObject*>(PyObject_Malloc(sizeof(ChromatogramPointObject)));
    if (!o) return PyErr_NoMemory();
    PyObject_Init(o, type);
  } else {
    o = type->tp_alloc(type, 0);
  }
  if (!o) return nullptr;
  auto* p = reinterpret_cast<ChromatogramPointObject*>(o);
  Py_INCREF(spectrum_index);
  Py_INCREF(retention_time);
  Py_INCREF(intensity);
  Py_INCREF(base_x);
  p->spectrum_index = spectrum_index;
  p->retention_time = retention_time;
  p->intensity = intensity;
  p->base_x = base_x;
  return o;
}

}  // namespace vorn::py

namespace vorn::py {

// Flag values of AnalysisTypes and QuanAnalysisTypes. ALL is no restriction
// at all, so that every combination of kinds differs from it.
enum class AnalysisTypes : uint32_t { ALL = 0, QUAL = 1, QUAN = 2, DAD = 4, ANALOG = 8 };
enum class QuanAnalysisTypes : uint32_t { ALL = 0, SIM = 1, SRM = 2 };

}  // namespace vorn::py
