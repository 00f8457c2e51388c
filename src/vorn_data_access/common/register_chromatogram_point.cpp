#include <Python.h>
#include <nanobind/nanobind.h>
#include <nanobind/ndarray.h>
#include <structmember.h>

#include <cstdint>
#include <vector>

#include "../_glue/python.hpp"
#include "../_glue/value_types.hpp"

namespace nb = nanobind;
using namespace nb::literals;

namespace vorn::py {
namespace {

using Point = ChromatogramPointObject;

PyTypeObject* g_point_type = nullptr;

PyObject* point_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  static const char* names[] = {"spectrum_index", "retention_time", "intensity", "base_x", nullptr};
  PyObject *a, *b, *c, *d;
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OOOO:SpectrumBasedChromatogramPoint",
                                   const_cast<char**>(names), &a, &b, &c, &d))
    return nullptr;
  return new_chromatogram_point(type, a, b, c, d);
}

void point_dealloc(PyObject* self) {
  auto* p = reinterpret_cast<Point*>(self);
  Py_XDECREF(p->spectrum_index);
  Py_XDECREF(p->retention_time);
  Py_XDECREF(p->intensity);
  Py_XDECREF(p->base_x);
  PyTypeObject* type = Py_TYPE(self);
  type->tp_free(self);
  Py_DECREF(type);
}

PyObject* point_str(PyObject* self) {
  auto* p = reinterpret_cast<Point*>(self);
  return PyUnicode_FromFormat(
      "[Spectrum Index] %S, [Retention Time] %S, [Intensity] %S, [Base X] %S", p->spectrum_index,
      p->retention_time, p->intensity, p->base_x);
}

PyObject* point_richcompare(PyObject* a, PyObject* b, int op) {
  if ((op != Py_EQ && op != Py_NE) || !PyObject_TypeCheck(b, g_point_type))
    Py_RETURN_NOTIMPLEMENTED;
  auto *x = reinterpret_cast<Point*>(a), *y = reinterpret_cast<Point*>(b);
  PyObject* xs[] = {x->spectrum_index, x->retention_time, x->intensity, x->base_x};
  PyObject* ys[] = {y->spectrum_index, y->retention_time, y->intensity, y->base_x};
  bool equal = true;
  for (int i = 0; i < 4 && equal; ++i) {
    int r = PyObject_RichCompareBool(xs[i], ys[i], Py_EQ);
    if (r < 0) return nullptr;
    equal = r == 1;
  }
  return PyBool_FromLong(equal == (op == Py_EQ));
}

Py_hash_t point_hash(PyObject* self) {
  auto* p = reinterpret_cast<Point*>(self);
  PyObject* t = PyTuple_Pack(4, p->spectrum_index, p->retention_time, p->intensity, p->base_x);
  if (!t) return -1;
  Py_hash_t h = PyObject_Hash(t);
  Py_DECREF(t);
  return h;
}

// Pickles as a call of the class with the four values.
PyObject* point_reduce(PyObject* self, PyObject*) {
  auto* p = reinterpret_cast<Point*>(self);
  return Py_BuildValue("O(OOOO)", reinterpret_cast<PyObject*>(Py_TYPE(self)), p->spectrum_index,
                       p->retention_time, p->intensity, p->base_x);
}

PyMethodDef point_methods[] = {
    {"__reduce__", point_reduce, METH_NOARGS, "Pickles as the class called with the four values."},
    {nullptr, nullptr, 0, nullptr}};

PyMemberDef point_members[] = {
    {"spectrum_index", T_OBJECT, offsetof(Point, spectrum_index), READONLY,
     "Index of the spectrum the point comes from."},
    {"retention_time", T_OBJECT, offsetof(Point, retention_time), READONLY,
     "Retention time (minutes)."},
    {"intensity", T_OBJECT, offsetof(Point, intensity), READONLY, "Intensity of the point."},
    {"base_x", T_OBJECT, offsetof(Point, base_x), READONLY,
     "m/z (or wavelength) of the base peak."},
    {nullptr, 0, 0, 0, nullptr}};

PyType_Slot point_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(point_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(point_dealloc)},
    {Py_tp_str, reinterpret_cast<void*>(point_str)},
    {Py_tp_repr, reinterpret_cast<void*>(point_str)},
    {Py_tp_richcompare, reinterpret_cast<void*>(point_richcompare)},
    {Py_tp_hash, reinterpret_cast<void*>(point_hash)},
    {Py_tp_members, point_members},
    {Py_tp_methods, point_methods},
    {Py_tp_doc, const_cast<char*>(
                    "SpectrumBasedChromatogramPoint(spectrum_index, retention_time, intensity, "
                    "base_x)\n\nOne chromatogram point: the spectrum it comes from, its retention "
                    "time, its intensity and the x (m/z or wavelength) of its base peak, each "
                    "kept exactly as given. Compared and hashed by value.")},
    {0, nullptr}};

// Written with the C API rather than nanobind for speed: chromatograms make one
// point per spectrum, and a plain object with member slots costs less to build.
PyType_Spec point_spec = {"vorn_data_access.common.SpectrumBasedChromatogramPoint", sizeof(Point),
                          0, Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE, point_slots};

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
    if (Py_TYPE(item.ptr()) == g_point_type) {
      auto* p = reinterpret_cast<Point*>(item.ptr());
      index[k] = nb::cast<int64_t>(nb::handle(p->spectrum_index));
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
  PyObject* type = PyType_FromSpec(&point_spec);
  if (!type) throw nb::python_error();
  g_point_type = reinterpret_cast<PyTypeObject*>(type);
  m.attr("SpectrumBasedChromatogramPoint") = nb::steal(type);
  m.def("chromatogram_to_arrays", &chromatogram_to_arrays, "points"_a.none(),
        "Turns any list of chromatogram points into four numpy arrays: spectrum indexes "
        "(int64), retention times, intensities and base x (float64).");
}

}  // namespace vorn::py
