#include "analysis_read.hpp"

#include <cmath>

#include "../_glue/index_block.hpp"
#include "../_glue/python.hpp"
#include "../_glue/reader.hpp"
#include "../_glue/spectrum_records.hpp"
#include "qual.hpp"
#include "record_access.hpp"

namespace vorn::py {

nb::list read_spectrum_index_list(nb::handle reader, nb::handle position) {
  return read_spectrum_index_list(reader, position, qual_name("SpectrumIndex"),
                                  qual_name("VornSymbols"));
}

Py_ssize_t nearest_spectrum(nb::handle list, nb::handle retention_time) {
  // Plain floats are compared natively (the same IEEE arithmetic); at the
  // first retention time of another kind the search continues with the
  // interpreter's arithmetic from where it stands.
  bool native = PyFloat_CheckExact(retention_time.ptr()) || PyLong_CheckExact(retention_time.ptr());
  double target = native ? nb::cast<double>(retention_time) : 0.0;
  double best = float_info_max();
  nb::object min_diff;
  if (!native) min_diff = nb::float_(best);
  Py_ssize_t found = -1;
  const Py_ssize_t n = PyObject_Length(list.ptr());
  if (n < 0) throw nb::python_error();
  for (Py_ssize_t i = 0; i < n; ++i) {
    SpectrumEntry e(list[i]);
    double rt;
    if (native && e.retention_time(rt)) {
      double diff = std::fabs(rt - target);
      if (diff < best) {
        best = diff;
        found = i;
      }
      continue;
    }
    nb::object value = e.get(kRetentionTime);
    if (is_none_eq(value)) continue;
    if (native) {
      native = false;
      min_diff = nb::float_(best);
    }
    nb::object diff = nb::steal(PyNumber_Absolute((value - nb::borrow(retention_time)).ptr()));
    if (!diff.is_valid()) throw nb::python_error();
    if (lt(diff, min_diff)) {
      min_diff = diff;
      found = i;
    }
  }
  return found;
}

}  // namespace vorn::py
