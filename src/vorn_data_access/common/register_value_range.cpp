#include <nanobind/nanobind.h>
#include <nanobind/stl/string.h>

#include "../_glue/float_text.hpp"
#include "../_glue/python.hpp"
#include "../_glue/value_types.hpp"

namespace nb = nanobind;
using namespace nb::literals;

namespace vorn::py {

void register_value_range(nb::module_& m) {
  nb::class_<ValueRange>(m, "ValueRange",
                         "An inclusive numeric range ``ValueRange(min, max)``, compared and hashed "
                         "by value.")
      .def(nb::init<double, double>(), "min"_a, "max"_a)
      .def_ro("min", &ValueRange::min, "Lower bound.")
      .def_ro("max", &ValueRange::max, "Upper bound.")
      .def(
          "contains_value", [](const ValueRange& r, double v) { return r.contains(v); }, "value"_a,
          "Whether ``min <= value <= max``.")
      .def(
          "__eq__",
          [](const ValueRange& a, const ValueRange& b) { return a.min == b.min && a.max == b.max; },
          nb::is_operator())
      .def(
          "__ne__",
          [](const ValueRange& a, const ValueRange& b) {
            return !(a.min == b.min && a.max == b.max);
          },
          nb::is_operator())
      .def("__hash__",
           [](const ValueRange& r) {
             return py_hash(nb::make_tuple(nb::float_(r.min), nb::float_(r.max)));
           })
      .def("__str__",
           [](const ValueRange& r) { return float_text(r.min) + " - " + float_text(r.max); })
      .def("__repr__",
           [](const ValueRange& r) { return float_text(r.min) + " - " + float_text(r.max); })
      .def("__getstate__", [](const ValueRange& r) { return nb::make_tuple(r.min, r.max); })
      .def("__setstate__", [](ValueRange& r, const nb::tuple& t) {
        new (&r) ValueRange{nb::cast<double>(t[0]), nb::cast<double>(t[1])};
      });
}

}  // namespace vorn::py
