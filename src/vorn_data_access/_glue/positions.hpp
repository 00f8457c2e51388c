// Absolute positions from an index block's origin and stored offsets. A
// hostile offset must not overflow: the sum is checked.
#pragma once

#include <Python.h>

#include <cstdint>
#include <string>

#include "vorn_core/errors.hpp"

namespace vorn::py {

// A position given as a Python int that a native read can take: false for
// anything else (another type, or beyond 64 bits), which the reader protocol
// then reports in its own words.
inline bool native_position(PyObject* position, int64_t& out) {
  if (!PyLong_CheckExact(position)) return false;
  int overflow = 0;
  long long v = PyLong_AsLongLongAndOverflow(position, &overflow);
  if (overflow || (v == -1 && PyErr_Occurred())) {
    PyErr_Clear();
    return false;
  }
  out = v;
  return true;
}

inline int64_t absolute_position(int64_t offset, uint64_t origin) {
  int64_t sum;
  if (__builtin_add_overflow(offset, static_cast<int64_t>(origin), &sum))
    throw FormatError("offset " + std::to_string(offset) + " overflows a file position", origin);
  return sum;
}

}  // namespace vorn::py
