// Module vorn_data_access.quan: quantitative (SRM/SIM) and analog analyses.
// Collaborators are module attributes looked up at each use.
#include <nanobind/nanobind.h>

#include "../_glue/errors.hpp"
#include "quan.hpp"

namespace nb = nanobind;

namespace vorn::py {
namespace {
PyObject* g_module = nullptr;
}  // namespace

nb::object quan_name(const char* name) {
  return nb::handle(g_module).attr(name);
}

}  // namespace vorn::py

NB_MODULE(quan, m) {
  using namespace vorn::py;
  m.doc() =
      "Quantitative (SRM/SIM) and analog analyses.\n\n"
      "``Measurement`` builds these through their private factories. Each analysis keeps its "
      "function index record and serves the traces of its function: one trace per "
      "selected-reaction or selected-ion monitoring channel (quan) or per analog channel, its x "
      "values retention times.";
  g_module = m.ptr();
  register_core_errors();
  m.attr("VornSymbols") =
      nb::module_::import_("vorn_data_access._internal._enum").attr("VornSymbols");
  m.attr("SpectrumIndex") =
      nb::module_::import_("vorn_data_access._internal._index").attr("SpectrumIndex");
  nb::module_::import_("vorn_data_access._internal._reader");
  register_trace_analyses(m);
}
