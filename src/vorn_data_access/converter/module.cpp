// Module vorn_data_access.converter: conversion options and ZelConverter,
// which runs the converter program zelc.exe.
#include <nanobind/nanobind.h>

#include "converter.hpp"

namespace nb = nanobind;

namespace vorn::py {
namespace {
PyObject* g_module = nullptr;
}

nb::object converter_name(const char* name) {
  return nb::handle(g_module).attr(name);
}

nb::object conversion_run(const char* name) {
  return nb::module_::import_("vorn_data_access._conversion_run").attr(name);
}

}  // namespace vorn::py

NB_MODULE(converter, m) {
  using namespace vorn::py;
  m.doc() = "Conversion of vendor raw data into container files with the converter program.";
  g_module = m.ptr();
  m.attr("ZelConverterException") =
      nb::module_::import_("vorn_data_access.exception").attr("ZelConverterException");
  nb::module_ common = nb::module_::import_("vorn_data_access.common");
  m.attr("AnalysisTypes") = common.attr("AnalysisTypes");
  m.attr("QuanAnalysisTypes") = common.attr("QuanAnalysisTypes");
  for (const char* name : {"subprocess", "tempfile", "os", "time", "sys", "threading"})
    m.attr(name) = nb::module_::import_(name);
  nb::module_::import_("concurrent.futures");
  m.attr("concurrent") = nb::module_::import_("concurrent");
  nb::module_::import_("vorn_data_access._conversion_run");  // missing: the module fails to load
  register_options(m);
  register_zel_converter(m);
}
