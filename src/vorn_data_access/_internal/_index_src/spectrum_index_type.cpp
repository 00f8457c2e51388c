#include <nanobind/nanobind.h>

#include "../../_glue/errors.hpp"
#include "../../_glue/python.hpp"
#include "../../_glue/raw_types.hpp"
#include "../../_glue/reader.hpp"
#include "../../_glue/spectrum_records.hpp"

namespace nb = nanobind;

namespace vorn::py {
namespace {

using S = SpectrumIndexObject;
enum Field { kReader, kPosition, kProfilePosition, kDescription };
constexpr const char* kNames[] = {"reader", "position", "profile_position", "spectrum_description"};

// Fields may hold anything a caller assigns (a reader of their own, a
// description subclass), so records take part in cyclic garbage collection.
int traverse(PyObject* self, visitproc visit, void* arg) {
  auto* r = reinterpret_cast<S*>(self);
  Py_VISIT(Py_TYPE(self));
  Py_VISIT(r->reader);
  Py_VISIT(r->description);
  Py_VISIT(r->position);
  Py_VISIT(r->profile_position);
  return 0;
}

int clear(PyObject* self) {
  auto* r = reinterpret_cast<S*>(self);
  Py_CLEAR(r->reader);
  Py_CLEAR(r->description);
  Py_CLEAR(r->position);
  Py_CLEAR(r->profile_position);
  return 0;
}

void dealloc(PyObject* self) {
  PyObject_GC_UnTrack(self);
  clear(self);
  PyTypeObject* type = Py_TYPE(self);
  type->tp_free(self);
  Py_DECREF(type);
}

PyObject** object_slot(S* r, int f) {
  switch (f) {
    case kReader:
      return &r->reader;
    case kDescription:
      return &r->description;
    case kPosition:
      return &r->position;
    default:
      return &r->profile_position;
  }
}

PyObject* get_field(PyObject* self, void* closure) {
  auto* r = reinterpret_cast<S*>(self);
  const int f = field_of(closure);
  try {
    if (f == kPosition || f == kProfilePosition)
      return spectrum_index_position(r, f == kProfilePosition).release().ptr();
  } catch (nb::python_error& e) {
    e.restore();
    return nullptr;
  }
  PyObject* v = *object_slot(r, f);
  return Py_NewRef(v ? v : Py_None);
}

int set_field(PyObject* self, PyObject* value, void* closure) {
  if (!value) {
    PyErr_SetString(PyExc_AttributeError, "record fields cannot be deleted");
    return -1;
  }
  PyObject** slot = object_slot(reinterpret_cast<S*>(self), field_of(closure));
  Py_XSETREF(*slot, Py_NewRef(value));
  return 0;
}

// SpectrumIndex.__create_instance(reader, position, index): reads the next
// spectrum description from the reader's decompressed buffer.
PyObject* create_instance(PyObject* cls, PyObject* const* args, Py_ssize_t nargs,
                          PyObject* kwnames) {
  try {
    if (nargs != 3 || kwnames)
      throw nb::type_error("_SpectrumIndex__create_instance(reader, position, index)");
    VdpFileReader* reader = instance_of<VdpFileReader>(args[0]);
    if (!reader) throw nb::type_error("SpectrumIndex reads from a VdpFileReader");
    int64_t index = nb::cast<int64_t>(nb::handle(args[2]));
    SpectrumTable one;
    one.push_back(reader->get().next_spectrum());
    nb::object desc = new_spectrum_description(spectrum_description_type(),
                                               make_spectrum_table(std::move(one)), 0, index);
    nb::object rec = new_spectrum_index(reinterpret_cast<PyTypeObject*>(cls), args[0], desc);
    reinterpret_cast<S*>(rec.ptr())->position = Py_NewRef(args[1]);
    return rec.release().ptr();
  } catch (const nb::builtin_exception& e) {
    PyErr_SetString(PyExc_TypeError, e.what());
  } catch (...) {
    translate_current_exception();
  }
  return nullptr;
}

PyObject* set_profile_position(PyObject* self, PyObject* position) {
  Py_XSETREF(reinterpret_cast<S*>(self)->profile_position, Py_NewRef(position));
  Py_RETURN_NONE;
}

}  // namespace

void register_spectrum_index(nb::module_& m) {
  static GetSetTable fields;
  for (int f = 0; f < 4; ++f)
    fields.add(std::string("_SpectrumIndex__") + kNames[f], get_field, set_field, f, nullptr);
  static PyMethodDef methods[] = {
      {"_SpectrumIndex__create_instance",
       reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(create_instance)),
       METH_FASTCALL | METH_KEYWORDS | METH_CLASS,
       "Reads the next spectrum description from the reader: a record at `position`."},
      {"_SpectrumIndex__set_profile_position", set_profile_position, METH_O,
       "Sets where the spectrum's profile data is (0: none)."},
      {nullptr, nullptr, 0, nullptr}};
  static PyType_Slot slots[] = {
      {Py_tp_new, reinterpret_cast<void*>(new_empty_record)},
      {Py_tp_dealloc, reinterpret_cast<void*>(dealloc)},
      {Py_tp_traverse, reinterpret_cast<void*>(traverse)},
      {Py_tp_clear, reinterpret_cast<void*>(clear)},
      {Py_tp_getset, fields.finish()},
      {Py_tp_methods, methods},
      {Py_tp_doc, const_cast<char*>("Where a spectrum's data (and profile data) is, and its "
                                    "description. A record built with no arguments has every "
                                    "field None and profile position 0.")},
      {0, nullptr}};
  // Written with the C API for speed: an analysis makes one record per spectrum and
  // the kernels read its positions directly, without a Python object per field.
  static PyType_Spec spec = {"vorn_data_access._internal._index.SpectrumIndex", sizeof(S), 0,
                             Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE | Py_TPFLAGS_HAVE_GC, slots};
  PyObject* type = PyType_FromSpec(&spec);
  if (!type) throw nb::python_error();
  m.attr("SpectrumIndex") = nb::steal(type);
}

}  // namespace vorn::py
