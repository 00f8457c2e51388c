// Read-only arrays of the reader layer (offsets, wavelengths): sequences of
// numbers with a zero-copy numpy view, `values`, and the numpy array protocol.
// Unlike a numpy array they compare by identity, so `array == None` is False.
#pragma once

#include <nanobind/nanobind.h>
#include <nanobind/ndarray.h>
#include <nanobind/stl/string.h>

#include <cstdint>
#include <string>
#include <vector>

#include "vorn_core/float_array.hpp"

namespace vorn::py {

namespace nb = nanobind;

struct Int64Array {
  using Value = int64_t;
  std::vector<int64_t> values;
};

// Wavelengths of a diode-array function, at the precision they were stored in.
struct WavelengthArray {
  vorn::FloatArray values;
};

template <typename A>
nb::object array_view(nb::handle self) {
  using V = typename A::Value;
  auto& v = nb::inst_ptr<A>(self)->values;
  static const V empty = 0;
  return nb::cast(nb::ndarray<nb::numpy, const V, nb::ndim<1>>(v.empty() ? &empty : v.data(),
                                                               {v.size()}, self));
}

template <typename A>
void bind_value_array(nb::module_& m, const char* name, const char* doc) {
  nb::class_<A>(m, name, doc)
      .def("__len__", [](const A& a) { return a.values.size(); })
      .def("__getitem__",
           [](const A& a, Py_ssize_t i) {
             auto n = static_cast<Py_ssize_t>(a.values.size());
             if (i < 0) i += n;
             if (i < 0 || i >= n) throw nb::index_error("index out of range");
             return a.values[static_cast<size_t>(i)];
           })
      .def_prop_ro("values", &array_view<A>, "The values as a read-only numpy array (no copy).")
      .def(
          "__array__",
          [](nb::handle self, nb::handle dtype, nb::handle copy) {
            nb::object v = array_view<A>(self);
            if (!dtype.is_none() ||
                (copy.is_valid() && !copy.is_none() && PyObject_IsTrue(copy.ptr())))
              return nb::module_::import_("numpy").attr("array")(v, dtype);
            return v;
          },
          nb::arg("dtype").none() = nb::none(), nb::arg("copy").none() = nb::none())
      .def("__repr__", [name](const A& a) {
        return nb::str("<{} of {} values>").format(name, a.values.size());
      });
}

inline nb::object wavelength_view(nb::handle self) {
  const vorn::FloatArray& a = nb::inst_ptr<WavelengthArray>(self)->values;
  static const double empty = 0;
  const size_t n = a.size();
  if (a.is_f32())
    return nb::cast(nb::ndarray<nb::numpy, const float, nb::ndim<1>>(
        n ? a.f32().data() : reinterpret_cast<const float*>(&empty), {n}, self));
  return nb::cast(
      nb::ndarray<nb::numpy, const double, nb::ndim<1>>(n ? a.f64().data() : &empty, {n}, self));
}

inline void bind_wavelength_array(nb::module_& m) {
  nb::class_<WavelengthArray>(m, "WavelengthArray",
                              "Wavelengths of a diode-array function: a sequence of float at "
                              "their stored precision, usable wherever numpy takes an array.")
      .def("__len__", [](const WavelengthArray& a) { return a.values.size(); })
      .def("__getitem__",
           [](const WavelengthArray& a, Py_ssize_t i) {
             auto n = static_cast<Py_ssize_t>(a.values.size());
             if (i < 0) i += n;
             if (i < 0 || i >= n) throw nb::index_error("index out of range");
             return a.values[static_cast<size_t>(i)];
           })
      .def_prop_ro("values", &wavelength_view, "The values as a read-only numpy array (no copy).")
      .def(
          "__array__",
          [](nb::handle self, nb::handle dtype, nb::handle copy) {
            nb::object v = wavelength_view(self);
            if (!dtype.is_none() ||
                (copy.is_valid() && !copy.is_none() && PyObject_IsTrue(copy.ptr())))
              return nb::module_::import_("numpy").attr("array")(v, dtype);
            return v;
          },
          nb::arg("dtype").none() = nb::none(), nb::arg("copy").none() = nb::none())
      .def("__repr__", [](const WavelengthArray& a) {
        return nb::str("<WavelengthArray of {} values>").format(a.values.size());
      });
}

}  // namespace vorn::py
