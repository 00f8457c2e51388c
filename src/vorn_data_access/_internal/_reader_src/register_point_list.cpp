#include <nanobind/nanobind.h>
#include <nanobind/ndarray.h>
#include <nanobind/stl/string.h>

#include <string>

#include "../../_glue/float_text.hpp"
#include "../../_glue/point_list.hpp"
#include "../../_glue/python.hpp"

namespace nb = nanobind;
using namespace nb::literals;

namespace vorn::py {
namespace {

// A read-only numpy view of `a`, kept alive by `owner`.
nb::object view(const FloatArray& a, nb::handle owner) {
  static const double empty = 0;
  const size_t n = a.size();
  if (a.is_f32())
    return nb::cast(nb::ndarray<nb::numpy, const float, nb::ndim<1>>(
        n ? a.f32().data() : reinterpret_cast<const float*>(&empty), {n}, owner));
  return nb::cast(
      nb::ndarray<nb::numpy, const double, nb::ndim<1>>(n ? a.f64().data() : &empty, {n}, owner));
}

FloatArray to_float_array(nb::handle values) {
  nb::object seq = nb::steal(PySequence_Fast(values.ptr(), "expected a sequence of numbers"));
  if (!seq.is_valid()) throw nb::python_error();
  const Py_ssize_t n = PySequence_Fast_GET_SIZE(seq.ptr());
  std::vector<double> out(static_cast<size_t>(n));
  PyObject** items = PySequence_Fast_ITEMS(seq.ptr());
  for (Py_ssize_t i = 0; i < n; ++i) {
    double v = PyFloat_AsDouble(items[i]);
    if (v == -1.0 && PyErr_Occurred()) throw nb::python_error();
    out[static_cast<size_t>(i)] = v;
  }
  return FloatArray(std::move(out));
}

size_t checked_index(const SpectrumPointList& l, Py_ssize_t i) {
  auto n = static_cast<Py_ssize_t>(l.size());
  if (i < 0) i += n;
  if (i < 0 || i >= n) throw nb::index_error("spectrum point index out of range");
  return static_cast<size_t>(i);
}

}  // namespace

void register_point_list(nb::module_& m) {
  nb::class_<SpectrumPoint>(m, "SpectrumPoint", "One point of a spectrum: `x` and `intensity`.")
      .def(nb::init<double, double>(), "x"_a, "intensity"_a)
      .def_ro("x", &SpectrumPoint::x, "m/z, or wavelength for absorbance spectra.")
      .def_ro("intensity", &SpectrumPoint::intensity, "Signal at x.")
      .def(
          "__eq__",
          [](const SpectrumPoint& a, const SpectrumPoint& b) {
            return a.x == b.x && a.intensity == b.intensity;
          },
          nb::is_operator())
      .def(
          "__ne__",
          [](const SpectrumPoint& a, const SpectrumPoint& b) {
            return !(a.x == b.x && a.intensity == b.intensity);
          },
          nb::is_operator())
      .def("__hash__",
           [](const SpectrumPoint& p) { return py_hash(nb::make_tuple(p.x, p.intensity)); })
      .def("__getstate__", [](const SpectrumPoint& p) { return nb::make_tuple(p.x, p.intensity); })
      .def("__setstate__",
           [](SpectrumPoint& p, const nb::tuple& t) {
             new (&p) SpectrumPoint{nb::cast<double>(t[0]), nb::cast<double>(t[1])};
           })
      .def("__repr__", [](const SpectrumPoint& p) {
        return "SpectrumPoint(x=" + float_text(p.x) + ", intensity=" + float_text(p.intensity) +
               ")";
      });

  nb::class_<SpectrumPointList>(
      m, "SpectrumPointList",
      "The points of one spectrum in ascending x: a sequence of SpectrumPoint, with zero-copy "
      "read-only numpy views `x_array` and `intensity_array`.")
      .def(
          "__init__",
          [](SpectrumPointList* self, nb::handle x, nb::handle intensity) {
            FloatArray xs = to_float_array(x), is = to_float_array(intensity);
            if (xs.size() != is.size()) throw nb::value_error("x and intensity differ in length");
            new (self) SpectrumPointList{std::move(xs), std::move(is)};
          },
          "x"_a, "intensity"_a, "Builds a point list from two sequences of numbers.")
      .def("__len__", &SpectrumPointList::size)
      .def("__getitem__",
           [](const SpectrumPointList& l, Py_ssize_t i) {
             size_t k = checked_index(l, i);
             return SpectrumPoint{l.x[k], l.intensity[k]};
           })
      .def_prop_ro(
          "x_array",
          [](nb::handle self) { return view(nb::inst_ptr<SpectrumPointList>(self)->x, self); },
          "The x values as a read-only numpy array (no copy).")
      .def_prop_ro(
          "intensity_array",
          [](nb::handle self) {
            return view(nb::inst_ptr<SpectrumPointList>(self)->intensity, self);
          },
          "The intensities as a read-only numpy array (no copy).")
      .def(
          "__eq__",
          [](const SpectrumPointList& a, const SpectrumPointList& b) {
            if (a.size() != b.size()) return false;
            for (size_t i = 0; i < a.size(); ++i)
              if (!(a.x[i] == b.x[i] && a.intensity[i] == b.intensity[i])) return false;
            return true;
          },
          nb::is_operator())
      .def(
          "__ne__",
          [](const SpectrumPointList& a, const SpectrumPointList& b) {
            if (a.size() != b.size()) return true;
            for (size_t i = 0; i < a.size(); ++i)
              if (!(a.x[i] == b.x[i] && a.intensity[i] == b.intensity[i])) return true;
            return false;
          },
          nb::is_operator())
      .def("__getstate__",
           [](nb::handle self) {
             const SpectrumPointList& l = *nb::inst_ptr<SpectrumPointList>(self);
             return nb::make_tuple(view(l.x, self), view(l.intensity, self));
           })
      .def("__setstate__",
           [](SpectrumPointList& l, const nb::tuple& t) {
             // The arrays keep their precision (float32 or float64).
             auto array = [](nb::handle values) {
               if (nb::isinstance<nb::ndarray<const float, nb::ndim<1>>>(values)) {
                 auto a = nb::cast<nb::ndarray<const float, nb::ndim<1>, nb::c_contig>>(values);
                 return FloatArray(std::vector<float>(a.data(), a.data() + a.shape(0)));
               }
               return to_float_array(values);
             };
             FloatArray x = array(t[0]), intensity = array(t[1]);
             if (x.size() != intensity.size())
               throw nb::value_error("x and intensity differ in length");
             new (&l) SpectrumPointList{std::move(x), std::move(intensity)};
           })
      .def("__repr__",
           [](const SpectrumPointList& l) {
             return "<SpectrumPointList of " + std::to_string(l.size()) + " points>";
           })
      .attr("__hash__") = nb::none();
}

}  // namespace vorn::py
