// Taking part in cyclic garbage collection. A bound type whose C++ part holds
// Python objects names them in an overload `visit_objects(T&, f)`, found by
// argument-dependent lookup; these slots then let the collector see and break
// cycles through them (a user's subclass or override can close any cycle).
#pragma once

#include <nanobind/nanobind.h>

#include "python.hpp"

namespace vorn::py {

namespace nb = nanobind;

template <typename T>
int traverse_objects(PyObject* self, visitproc visit, void* arg) {
  Py_VISIT(Py_TYPE(self));
  if (!nb::inst_ready(self)) return 0;
  int result = 0;
  visit_objects(*nb::inst_ptr<T>(self), [&](nb::object& o) {
    if (result == 0 && o.is_valid()) result = visit(o.ptr(), arg);
  });
  return result;
}

// Drops the references, leaving None: nothing should use a cleared object,
// but code that does finds None rather than a null pointer.
template <typename T>
int clear_objects(PyObject* self) {
  if (!nb::inst_ready(self)) return 0;
  visit_objects(*nb::inst_ptr<T>(self), [](nb::object& o) {
    if (o.is_valid()) o = nb::none();
  });
  return 0;
}

// The slots for nb::type_slots: collected, and (with `refuse`) refusing
// direct construction like the package's objects that come from a file.
template <typename T, bool refuse = false>
PyType_Slot* gc_slots() {
  static PyType_Slot slots[] = {
      {Py_tp_traverse, reinterpret_cast<void*>(traverse_objects<T>)},
      {Py_tp_clear, reinterpret_cast<void*>(clear_objects<T>)},
      {refuse ? Py_tp_new : 0, refuse ? reinterpret_cast<void*>(refuse_new) : nullptr},
      {0, nullptr}};
  return slots;
}

// Holds the cyclic collector off while the package builds a block's records
// natively (a hundred thousand for a long run): none of them can be garbage
// before the block is complete, so a collection in between would only walk
// them in vain, and the collections their allocations trigger would walk the
// whole heap. No Python code runs meanwhile; the collector's previous state is
// restored, and it catches up at its next turn.
class CollectorPause {
 public:
  CollectorPause() : was_enabled_(PyGC_Disable() == 1) {}
  ~CollectorPause() {
    if (was_enabled_) PyGC_Enable();
  }
  CollectorPause(const CollectorPause&) = delete;
  CollectorPause& operator=(const CollectorPause&) = delete;

 private:
  bool was_enabled_;
};

}  // namespace vorn::py
