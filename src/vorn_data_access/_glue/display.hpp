// Displays for IPython and notebooks beside the classes' own text forms,
// which stay as they are: `_repr_pretty_` (the console's one-line summary)
// and `_repr_html_` (a table), both written by the package's `_display`
// module.
#pragma once

#include <nanobind/nanobind.h>

namespace vorn::py {

namespace nb = nanobind;

template <typename Cls>
void def_displays(Cls& cls) {
  using namespace nb::literals;
  cls.def(
      "_repr_pretty_",
      [](nb::handle self, nb::handle printer, nb::handle cycle) {
        nb::module_::import_("vorn_data_access._display").attr("pretty")(self, printer, cycle);
      },
      "printer"_a, "cycle"_a,
      nb::sig("def _repr_pretty_(self, printer: typing.Any, cycle: bool) -> None"),
      "IPython's display: what the object is, in one line.");
  cls.def(
      "_repr_html_",
      [](nb::handle self) {
        return nb::module_::import_("vorn_data_access._display").attr("html")(self);
      },
      nb::sig("def _repr_html_(self) -> str"),
      "A notebook's display: the object as an HTML table.");
}

}  // namespace vorn::py
