// The traces of quan and analog analyses as objects and arrays, beside
// get_trace_count/get_trace_description/get_trace_points, which they are
// built on (in the package's `traces` module).
#include <nanobind/nanobind.h>

#include "../_glue/python.hpp"
#include "../_glue/reader.hpp"
#include "quan.hpp"

namespace nb = nanobind;
using namespace nb::literals;

namespace vorn::py {
namespace {

nb::object traces_module() {
  return nb::module_::import_("vorn_data_access.traces");
}

}  // namespace

void add_trace_api(nb::class_<TraceAnalysis>& cls) {
  cls.def(
      "_format_version",
      [](nb::handle self) -> nb::object {
        nb::object function_index = self.attr("_function_index");
        nb::object reader = function_index.attr("_FunctionIndex__reader");
        if (VdpFileReader* r = exact<VdpFileReader>(reader))
          return nb::make_tuple(r->get().major_version(), r->get().minor_version());
        return nb::none();
      },
      "The (major, minor) format version of the analysis's file, or None for a reader given "
      "from Python.");
  cls.def_prop_ro(
      "traces", [](nb::handle self) { return traces_module().attr("sequence")(self); },
      nb::sig("def traces(self) -> vorn_data_access.sequences.IndexedSequence["
              "vorn_data_access.traces.Trace]"),
      "The traces as a sequence of Trace objects (Q1, Q3, collision energy, polarity, kind, "
      "native id, unit, properties): len(), indexes from either end, slices, iteration.");
  cls.def(
      "trace_arrays",
      [](nb::handle self, nb::handle index) {
        return traces_module().attr("trace_arrays")(self, index);
      },
      "index"_a,
      nb::sig("def trace_arrays(self, index: int) -> tuple[numpy.typing.NDArray[numpy.float64], "
              "numpy.typing.NDArray[numpy.float64]]"),
      "(times, intensities) of trace `index` as float64 arrays, the times in minutes whatever "
      "unit the source used.");
  cls.def(
      "find_traces",
      [](nb::handle self, nb::handle precursor_mz, nb::handle product_mz, nb::handle tolerance) {
        return traces_module().attr("find_traces")(self, precursor_mz, product_mz, tolerance);
      },
      "precursor_mz"_a, "product_mz"_a.none() = nb::none(), "tolerance"_a = 0.01,
      nb::sig("def find_traces(self, precursor_mz: float, product_mz: float | None = None, "
              "tolerance: float = 0.01) -> list[vorn_data_access.traces.Trace]"),
      "The traces whose Q1 lies within `tolerance` of `precursor_mz` and, when `product_mz` is "
      "given, whose Q3 lies within `tolerance` of it.");
  cls.def(
      "traces_frame",
      [](nb::handle self) {
        return nb::module_::import_("vorn_data_access.frames").attr("traces_frame")(self);
      },
      nb::sig("def traces_frame(self) -> pandas.DataFrame"),
      "A pandas DataFrame with one row per trace: kind, Q1, Q3, collision energy, polarity, "
      "point count, time range (minutes), highest intensity, unit and native id. Needs pandas "
      "(pip install 'vorn-data-access[pandas]').");
}

}  // namespace vorn::py
