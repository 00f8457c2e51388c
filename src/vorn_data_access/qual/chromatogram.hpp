// Building chromatogram point lists: the point class (looked up when a
// chromatogram is made; the package's own is allocated directly) and
// retention-time range tests.
#pragma once

#include <nanobind/nanobind.h>

#include "../_glue/python.hpp"
#include "../_glue/value_types.hpp"
#include "qual.hpp"

namespace vorn::py {

// common.SpectrumBasedChromatogramPoint, set when the module loads.
PyTypeObject* native_point_type();

class PointMaker {
 public:
  PointMaker() : cls_(qual_name("SpectrumBasedChromatogramPoint")) {
    if (cls_.ptr() == reinterpret_cast<PyObject*>(native_point_type()))
      native_ = native_point_type();
  }
  nb::object make(nb::handle index, nb::handle rt, nb::handle intensity, nb::handle base_x) const {
    if (native_) {
      PyObject* p = new_chromatogram_point(native_, index.ptr(), rt.ptr(), intensity.ptr(),
                                           base_x.ptr(), true);
      if (!p) throw nb::python_error();
      return nb::steal(p);
    }
    return cls_(index, rt, intensity, base_x);
  }
  void append(nb::handle list, nb::handle index, nb::handle rt, nb::handle intensity,
              nb::handle base_x) const {
    nb::object p = make(index, rt, intensity, base_x);
    if (PyList_Append(list.ptr(), p.ptr()) != 0) throw nb::python_error();
  }

 private:
  nb::object cls_;
  PyTypeObject* native_ = nullptr;
};

// `range.contains_value(rt)`, natively for a ValueRange and a float.
inline bool range_contains(nb::handle range, nb::handle rt) {
  if (const ValueRange* r = exact<ValueRange>(range); r && PyFloat_CheckExact(rt.ptr()))
    return r->contains(PyFloat_AS_DOUBLE(rt.ptr()));
  return truth(range.attr("contains_value")(rt));
}

}  // namespace vorn::py
