#include "analysis_read.hpp"

#include <cmath>

#include "../_glue/index_block.hpp"
#include "../_glue/python.hpp"
#include "../_glue/reader.hpp"
#include "../_glue/spectrum_records.hpp"
#include "../_glue/xic_fill.hpp"
#include "analysis_adapter.hpp"
#include "qual.hpp"
#include "record_access.hpp"
#include "vorn_core/analysis/selection.hpp"

namespace vorn::py {

nb::list read_spectrum_index_list(nb::handle reader, nb::handle position) {
  return read_spectrum_index_list(reader, position, qual_name("SpectrumIndex"),
                                  qual_name("VornSymbols"));
}

namespace {

// Whether `value` is NaN: natively for floats (and their subclasses, such as
// numpy.float64), else by the interpreter's `value != value`, which holds
// for NaN alone. A value that cannot be compared with itself is left to the
// search, whose arithmetic reports it.
bool is_nan(nb::handle value) {
  if (PyFloat_Check(value.ptr())) return std::isnan(PyFloat_AS_DOUBLE(value.ptr()));
  if (PyLong_Check(value.ptr())) return false;
  try {
    return ne(value, value);
  } catch (nb::python_error&) {
    return false;
  }
}

}  // namespace

Py_ssize_t nearest_spectrum(nb::handle list, nb::handle retention_time) {
  // No time is nearest to NaN; the search would find nothing and report an
  // index error instead of the caller's mistake.
  if (is_nan(retention_time)) {
    PyErr_SetString(PyExc_ValueError, "retention_time is not a number (NaN)");
    throw nb::python_error();
  }
  // Times and target as doubles: the interpreter's arithmetic on them is the
  // same IEEE arithmetic. A time or target that is no number raises the
  // interpreter's TypeError, as its subtraction would; without any timed
  // spectrum nothing is computed and nothing is found.
  SpectrumRows rows(list, {.strict_times = true});
  if (!analysis::any_timed(rows.table)) return -1;
  return analysis::nearest_row(rows.table, number(retention_time), float_info_max());
}

}  // namespace vorn::py
