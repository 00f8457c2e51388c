// The interpreter's text of a float ("30.0", "1e-05"), from C++.
#pragma once

#include <Python.h>

#include <string>

namespace vorn::py {

inline std::string float_text(double v) {
  char* s = PyOS_double_to_string(v, 'r', 0, Py_DTSF_ADD_DOT_0, nullptr);
  if (!s) throw std::bad_alloc();
  std::string out(s);
  PyMem_Free(s);
  return out;
}

}  // namespace vorn::py
