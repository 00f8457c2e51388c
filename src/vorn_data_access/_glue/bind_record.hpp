// Binds a slot record: constructible with no arguments, each field a readable
// and writable attribute under its mangled name, and visible to the cyclic
// garbage collector (records may be filled with anything, cycles included).
#pragma once

#include <nanobind/nanobind.h>

#include <string>

namespace vorn::py {

namespace nb = nanobind;

template <typename T>
int record_traverse(PyObject* self, visitproc visit, void* arg) {
  Py_VISIT(Py_TYPE(self));
  if (!nb::inst_ready(self)) return 0;
  for (const nb::object& o : nb::inst_ptr<T>(self)->slots) Py_VISIT(o.ptr());
  return 0;
}

template <typename T>
int record_clear(PyObject* self) {
  if (!nb::inst_ready(self)) return 0;
  for (nb::object& o : nb::inst_ptr<T>(self)->slots) o.reset();
  return 0;
}

template <typename T>
nb::class_<T> bind_record(nb::handle scope, const char* doc) {
  static PyType_Slot slots[] = {{Py_tp_traverse, reinterpret_cast<void*>(record_traverse<T>)},
                                {Py_tp_clear, reinterpret_cast<void*>(record_clear<T>)},
                                {0, nullptr}};
  nb::class_<T> cls(scope, T::kName, doc, nb::type_slots(slots));
  cls.def(nb::init<>());
  for (size_t i = 0; i < T::kSlots; ++i) {
    std::string name = std::string("_") + T::kName + "__" + T::kFields[i];
    cls.def_prop_rw(
        name.c_str(), [i](T& self) { return self.get(i); },
        [i](T& self, nb::object v) { self.set(i, std::move(v)); },
        nb::for_setter(nb::arg("value").none()));
  }
  return cls;
}

}  // namespace vorn::py
