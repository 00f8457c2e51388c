// Helpers for defining plain CPython types with attributes under mangled names.
#pragma once

#include <Python.h>

#include <deque>
#include <string>
#include <vector>

namespace vorn::py {

// Attribute names and getset entries that outlive the type (never freed: the
// type lives as long as the interpreter).
struct GetSetTable {
  std::deque<std::string> names;
  std::vector<PyGetSetDef> entries;

  void add(const std::string& name, getter get, setter set, int field, const char* doc) {
    names.push_back(name);
    entries.push_back({names.back().c_str(), get, set, doc,
                       reinterpret_cast<void*>(static_cast<intptr_t>(field))});
  }
  PyGetSetDef* finish() {
    entries.push_back({nullptr, nullptr, nullptr, nullptr, nullptr});
    return entries.data();
  }
};

inline int field_of(void* closure) {
  return static_cast<int>(reinterpret_cast<intptr_t>(closure));
}

// A type's tp_new for records built with no arguments.
inline PyObject* new_empty_record(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  if ((args && PyTuple_GET_SIZE(args)) || (kwargs && PyDict_GET_SIZE(kwargs))) {
    PyErr_Format(PyExc_TypeError, "%s() takes no arguments", type->tp_name);
    return nullptr;
  }
  return type->tp_alloc(type, 0);
}

}  // namespace vorn::py
