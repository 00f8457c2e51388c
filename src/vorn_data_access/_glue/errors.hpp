// Turns the core's typed errors into the package's exceptions
// (vorn_data_access.exception): VornFormatError for damaged or foreign files,
// VornIOError for files the system cannot open or write, VornClosedError for
// reads after close; writer misuse becomes ValueError.
#pragma once

#include <nanobind/nanobind.h>

#include <cstring>

#include "vorn_core/errors.hpp"

namespace vorn::py {

namespace nb = nanobind;

// The message as text. Messages name paths, which need not be UTF-8: bytes
// that are not are shown as escapes (\xff) rather than failing the raise.
inline nb::object message_text(const char* message) {
  PyObject* text = PyUnicode_DecodeUTF8(message, static_cast<Py_ssize_t>(std::strlen(message)),
                                        "backslashreplace");
  if (!text) throw nb::python_error();
  return nb::steal(text);
}

inline void raise_package_error(const char* name, const char* message) {
  nb::object module = nb::module_::import_("vorn_data_access.exception");
  nb::object cls = module.attr(name);
  PyErr_SetObject(cls.ptr(), message_text(message).ptr());
}

// Sets the Python error for an exception of the core; false when `p` holds
// anything else.
inline bool set_core_error(const std::exception_ptr& p) {
  try {
    std::rethrow_exception(p);
  } catch (const vorn::FormatError& e) {
    raise_package_error("VornFormatError", e.what());
  } catch (const vorn::IoError& e) {
    raise_package_error("VornIOError", e.what());
  } catch (const vorn::ClosedError& e) {
    raise_package_error("VornClosedError", e.what());
  } catch (const vorn::UsageError& e) {
    PyErr_SetObject(PyExc_ValueError, message_text(e.what()).ptr());
  } catch (...) {
    return false;
  }
  return true;
}

inline void register_core_errors() {
  // Anything else goes on to nanobind's own translators.
  nb::register_exception_translator([](const std::exception_ptr& p, void*) {
    if (!set_core_error(p)) std::rethrow_exception(p);
  });
}

// Sets the Python error for the exception being handled, in functions called
// by the interpreter directly (not through nanobind).
inline void translate_current_exception() noexcept {
  if (set_core_error(std::current_exception())) return;
  try {
    throw;
  } catch (nb::python_error& e) {
    e.restore();
  } catch (const std::exception& e) {
    PyErr_SetString(PyExc_RuntimeError, e.what());
  } catch (...) {
    PyErr_SetString(PyExc_RuntimeError, "unknown error");
  }
}

}  // namespace vorn::py
