// Module vorn_data_access.access: opening container files and walking their
// measurements. Collaborators are module attributes looked up at each use.
#include <nanobind/nanobind.h>

#include "../_glue/errors.hpp"
#include "access.hpp"

namespace nb = nanobind;

namespace vorn::py {

namespace {
PyObject* g_module = nullptr;
}

nb::object access_name(const char* name) {
  return nb::handle(g_module).attr(name);
}

}  // namespace vorn::py

NB_MODULE(access, m) {
  using namespace vorn::py;
  m.doc() = "Container files (VornFile) and their measurements (Measurement).";
  g_module = m.ptr();
  register_core_errors();
  auto from = [&](const char* module, std::initializer_list<const char*> names) {
    nb::module_ src = nb::module_::import_(module);
    for (const char* name : names) m.attr(name) = src.attr(name);
  };
  from("vorn_data_access._internal._enum", {"VornSymbols"});
  from("vorn_data_access._internal._index", {"FunctionIndex", "JumpTable"});
  from("vorn_data_access._internal._description", {"DetectorTypes"});
  from("vorn_data_access._internal._reader", {"VdpFileReader"});
  from("vorn_data_access.exception", {"VornException"});
  from("vorn_data_access.qual", {"QualAnalysis", "DADAnalysis"});
  from("vorn_data_access.quan", {"QuanAnalysis", "AnalogAnalysis"});
  register_vorn_file(m);
  register_measurement(m);
}
