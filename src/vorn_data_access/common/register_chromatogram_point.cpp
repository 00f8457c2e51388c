#include <nanobind/nanobind.h>
#include <nanobind/ndarray.h>

#include <cstdint>
#include <vector>

#include "../_glue/python.hpp"
#include "../_glue/value_types.hpp"

namespace nb = nanobind;
using namespace nb::literals;

namespace vorn::py {
namespace {

nb::str point_text(const ChromatogramPoint& p) {
  nb::str s("[Spectrum Index] {}, [Retention Time] {}, [Intensity] {}, [Base X] {}");
  return nb::str(s.format(p.spectrum_index, p.retention_time, p.intensity, p.base_x));
}

template <typename T>
nb::ndarray<nb::numpy, T, nb::ndim<1>> owned_array(std::vector<T>&& v) {
  auto* heap = new std::vector<T>(std::move(v));
  nb::capsule owner(heap, [](void* p) noexcept { delete static_cast<std::vector<T>*>(p); });
  return nb::ndarray<nb::numpy, T, nb::ndim<1>>(heap->data(), {heap->size()}, owner);
}

double as_double(nb::handle h) {
  if (PyFloat_CheckExact(h.ptr())) return PyFloat_AS_DOUBLE(h.ptr());
  double v = PyFloat_AsDouble(h.ptr());
  if (v == -1.0 && PyErr_Occurred()) throw nb::python_error();
  return v;
}

// Spectrum indexes, retention times, intensities and base x of any list of
// chromatogram points, as four numpy arrays.
nb::tuple chromatogram_to_arrays(nb::handle points) {
  nb::object seq = nb::steal(PySequence_Fast(points.ptr(), "points must be a sequence"));
  if (!seq.is_valid()) throw nb::python_error();
  const Py_ssize_t n = PySequence_Fast_GET_SIZE(seq.ptr());
  PyObject** items = PySequence_Fast_ITEMS(seq.ptr());
  std::vector<int64_t> index(static_cast<size_t>(n));
  std::vector<double> rt(index.size()), intensity(index.size()), base_x(index.size());
  for (Py_ssize_t i = 0; i < n; ++i) {
    nb::handle item(items[i]);
    auto k = static_cast<size_t>(i);
    if (const ChromatogramPoint* p = exact<ChromatogramPoint>(item)) {
      index[k] = nb::cast<int64_t>(p->spectrum_index);
      rt[k] = as_double(p->retention_time);
      intensity[k] = as_double(p->intensity);
      base_x[k] = as_double(p->base_x);
    } else {
      index[k] = nb::cast<int64_t>(item.attr("spectrum_index"));
      rt[k] = as_double(item.attr("retention_time"));
      intensity[k] = as_double(item.attr("intensity"));
      base_x[k] = as_double(item.attr("base_x"));
    }
  }
  return nb::make_tuple(owned_array(std::move(index)), owned_array(std::move(rt)),
                        owned_array(std::move(intensity)), owned_array(std::move(base_x)));
}

}  // namespace

void register_chromatogram_point(nb::module_& m) {
  nb::class_<ChromatogramPoint>(
      m, "SpectrumBasedChromatogramPoint",
      "One chromatogram point: the spectrum it comes from, its retention time, its intensity and "
      "the x (m/z or wavelength) of its base peak, each kept exactly as given.")
      .def(nb::init<nb::object, nb::object, nb::object, nb::object>(), "spectrum_index"_a,
           "retention_time"_a, "intensity"_a, "base_x"_a)
      .def_ro("spectrum_index", &ChromatogramPoint::spectrum_index, "Index of the spectrum.")
      .def_ro("retention_time", &ChromatogramPoint::retention_time, "Retention time (minutes).")
      .def_ro("intensity", &ChromatogramPoint::intensity, "Intensity of the point.")
      .def_ro("base_x", &ChromatogramPoint::base_x, "m/z or wavelength of the base peak.")
      .def(
          "__eq__",
          [](const ChromatogramPoint& a, const ChromatogramPoint& b) {
            return eq(a.spectrum_index, b.spectrum_index) && eq(a.retention_time, b.retention_time) &&
                   eq(a.intensity, b.intensity) && eq(a.base_x, b.base_x);
          },
          nb::is_operator())
      .def(
          "__ne__",
          [](const ChromatogramPoint& a, const ChromatogramPoint& b) {
            return !(eq(a.spectrum_index, b.spectrum_index) &&
                     eq(a.retention_time, b.retention_time) && eq(a.intensity, b.intensity) &&
                     eq(a.base_x, b.base_x));
          },
          nb::is_operator())
      .def("__hash__",
           [](const ChromatogramPoint& p) {
             return py_hash(nb::make_tuple(p.spectrum_index, p.retention_time, p.intensity, p.base_x));
           })
      .def("__str__", &point_text)
      .def("__repr__", &point_text);

  m.def("chromatogram_to_arrays", &chromatogram_to_arrays, "points"_a,
        "Turns a chromatogram point list into four numpy arrays: spectrum indexes (int64), "
        "retention times, intensities and base x (float64).");
}

}  // namespace vorn::py
