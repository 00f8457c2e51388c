#include <nanobind/nanobind.h>

#include "../../_glue/raw_types.hpp"
#include "../../_glue/spectrum_records.hpp"

namespace nb = nanobind;

namespace vorn::py {
namespace {

using D = SpectrumDescriptionObject;

// Fields may hold anything a caller assigns, so descriptions take part in
// cyclic garbage collection.
int traverse(PyObject* self, visitproc visit, void* arg) {
  auto* d = reinterpret_cast<D*>(self);
  Py_VISIT(Py_TYPE(self));
  Py_VISIT(d->table);
  for (PyObject* s : d->slots) Py_VISIT(s);
  return 0;
}

int clear(PyObject* self) {
  auto* d = reinterpret_cast<D*>(self);
  Py_CLEAR(d->table);
  for (PyObject*& s : d->slots) Py_CLEAR(s);
  return 0;
}

void dealloc(PyObject* self) {
  PyObject_GC_UnTrack(self);
  clear(self);
  PyTypeObject* type = Py_TYPE(self);
  type->tp_free(self);
  Py_DECREF(type);
}

PyObject* get_field(PyObject* self, void* closure) {
  try {
    return description_field(reinterpret_cast<D*>(self), field_of(closure)).release().ptr();
  } catch (nb::python_error& e) {
    e.restore();
  } catch (const std::exception& e) {
    PyErr_SetString(PyExc_RuntimeError, e.what());
  }
  return nullptr;
}

int set_field(PyObject* self, PyObject* value, void* closure) {
  if (!value) {
    PyErr_SetString(PyExc_AttributeError, "record fields cannot be deleted");
    return -1;
  }
  set_description_field(reinterpret_cast<D*>(self), field_of(closure), value);
  return 0;
}

}  // namespace

void register_spectrum_description(nb::module_& m) {
  static GetSetTable fields;
  for (int f = 0; f < kSpectrumFieldCount; ++f)
    fields.add(std::string("_InternalSpectrumDescription__") + kSpectrumFieldNames[f], get_field,
               set_field, f, nullptr);
  static PyType_Slot slots[] = {
      {Py_tp_new, reinterpret_cast<void*>(new_empty_record)},
      {Py_tp_dealloc, reinterpret_cast<void*>(dealloc)},
      {Py_tp_traverse, reinterpret_cast<void*>(traverse)},
      {Py_tp_clear, reinterpret_cast<void*>(clear)},
      {Py_tp_getset, fields.finish()},
      {Py_tp_doc, const_cast<char*>("Description of one spectrum. Fields are private, reached by "
                                    "their mangled names; a record built with no arguments has "
                                    "every field None.")},
      {0, nullptr}};
  // Written with the C API for speed: an analysis makes one description per spectrum
  // and the kernels read its decoded fields directly, without a Python object per field.
  static PyType_Spec spec = {"vorn_data_access._internal._description.InternalSpectrumDescription",
                             sizeof(D), 0,
                             Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE | Py_TPFLAGS_HAVE_GC, slots};
  PyObject* type = PyType_FromSpec(&spec);
  if (!type) throw nb::python_error();
  m.attr("InternalSpectrumDescription") = nb::steal(type);
}

}  // namespace vorn::py
