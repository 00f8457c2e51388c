// Helpers that give C++ binding code the interpreter's own semantics: rich
// comparison with its truth test, hashing, text conversion, raising the
// built-in Exception, and allocating instances of a class (or a subclass)
// without running its refusing constructor.
#pragma once

#include <nanobind/nanobind.h>

#include <cstdint>
#include <utility>

namespace vorn::py {

namespace nb = nanobind;

[[noreturn]] inline void raise_exception(const char* message) {
  PyErr_SetString(PyExc_Exception, message);
  throw nb::python_error();
}

inline bool truth(nb::handle h) {
  int t = PyObject_IsTrue(h.ptr());
  if (t < 0) throw nb::python_error();
  return t != 0;
}

// `a op b` followed by the truth test, exactly as Python's `if a op b:`.
inline bool compare(nb::handle a, nb::handle b, int op) {
  PyObject* r = PyObject_RichCompare(a.ptr(), b.ptr(), op);
  if (!r) throw nb::python_error();
  int t = PyObject_IsTrue(r);
  Py_DECREF(r);
  if (t < 0) throw nb::python_error();
  return t != 0;
}

inline bool eq(nb::handle a, nb::handle b) {
  return compare(a, b, Py_EQ);
}
inline bool ne(nb::handle a, nb::handle b) {
  return compare(a, b, Py_NE);
}
inline bool lt(nb::handle a, nb::handle b) {
  return compare(a, b, Py_LT);
}
inline bool gt(nb::handle a, nb::handle b) {
  return compare(a, b, Py_GT);
}
inline bool ge(nb::handle a, nb::handle b) {
  return compare(a, b, Py_GE);
}

// `h == None`. Values of the common built-in types never equal None, so the
// interpreter need not be asked for them.
inline bool is_none_eq(nb::handle h) {
  if (h.is_none()) return true;
  PyTypeObject* t = Py_TYPE(h.ptr());
  if (t == &PyFloat_Type || t == &PyLong_Type || t == &PyUnicode_Type || t == &PyList_Type ||
      t == &PyDict_Type || t == &PyBool_Type || t == &PyTuple_Type)
    return false;
  return eq(h, nb::none());
}

inline Py_hash_t py_hash(nb::handle h) {
  Py_hash_t v = PyObject_Hash(h.ptr());
  if (v == -1 && PyErr_Occurred()) throw nb::python_error();
  return v;
}

inline nb::str text(nb::handle h) {
  return nb::steal<nb::str>(PyObject_Str(h.ptr()));
}

// Accumulates `result = 31 * result + h` on unbounded integers, starting at
// 1; the value is handed to Python unreduced, which reduces it as it reduces
// any __hash__ result.
class Hash31 {
 public:
  void add(Py_hash_t h) { value_ = value_ * 31 + h; }
  void add_field(nb::handle field) { add(is_none_eq(field) ? 0 : py_hash(field)); }
  nb::int_ result() const {
    const __int128 v = value_;
    if (v >= INT64_MIN && v <= INT64_MAX) return nb::int_(static_cast<int64_t>(v));
    // Wider: the signed high half shifted up, or'ed with the low half.
    const nb::int_ high(static_cast<int64_t>(v >> 64)), low(static_cast<uint64_t>(v));
    return nb::borrow<nb::int_>((high << nb::int_(64)) | low);
  }

 private:
  __int128 value_ = 1;
};

// Allocates an instance of the bound class `cls` (or a Python subclass of
// it) and constructs its C++ part, bypassing __new__ and __init__.
template <typename T, typename... Args>
nb::object make_instance(nb::handle cls, Args&&... args) {
  nb::object o = nb::inst_alloc(cls);
  new (nb::inst_ptr<T>(o)) T(std::forward<Args>(args)...);
  nb::inst_mark_ready(o);
  return o;
}

template <typename T, typename... Args>
nb::object make_instance(Args&&... args) {
  return make_instance<T>(nb::type<T>(), std::forward<Args>(args)...);
}

// The instance's C++ part when its type is exactly `T`'s bound class (no
// subclass, whose Python methods could differ), else null.
template <typename T>
PyObject* bound_type() {
  static PyObject* type = nullptr;  // the bound class never goes away
  if (!type) type = nb::type<T>().ptr();
  return type;
}

template <typename T>
T* exact(nb::handle h) {
  if (!h.is_valid() || reinterpret_cast<PyObject*>(Py_TYPE(h.ptr())) != bound_type<T>())
    return nullptr;
  return nb::inst_ptr<T>(h);
}

// The instance's C++ part when it is a `T` or a subclass, else null.
template <typename T>
T* instance_of(nb::handle h) {
  if (!h.is_valid() || !nb::isinstance<T>(h) || !nb::inst_ready(h)) return nullptr;
  return nb::inst_ptr<T>(h);
}

// A Python-level call of a member reached through its mangled name.
inline nb::object member(nb::handle obj, const char* name) {
  return nb::getattr(obj, name);
}

// Makes `Class()` raise Exception("Inaccessible due to protection level"):
// the type's tp_new slot.
inline PyObject* refuse_new(PyTypeObject*, PyObject*, PyObject*) {
  PyErr_SetString(PyExc_Exception, "Inaccessible due to protection level");
  return nullptr;
}

}  // namespace vorn::py

namespace vorn::py {

// Binds `f(cls, ...)` as a class method, so that subclasses get instances of
// their own class.
template <typename F, typename... Extra>
void def_classmethod(nb::handle cls, const char* name, F&& f, const Extra&... extra) {
  nb::object fn = nb::cpp_function(std::forward<F>(f), nb::name(name), extra...);
  nb::object cm = nb::steal(PyClassMethod_New(fn.ptr()));
  if (!cm.is_valid()) throw nb::python_error();
  nb::setattr(cls, name, cm);
}

}  // namespace vorn::py

namespace vorn::py {

// Raises `cls(message)`.
[[noreturn]] inline void raise_as(nb::handle cls, const char* message) {
  PyErr_SetString(cls.ptr(), message);
  throw nb::python_error();
}

}  // namespace vorn::py
