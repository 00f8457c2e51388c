#include <nanobind/nanobind.h>

#include <string>

#include "../_glue/bind_record.hpp"
#include "../_glue/index_block.hpp"
#include "../_glue/point_list.hpp"
#include "../_glue/python.hpp"
#include "../_glue/reader.hpp"
#include "../_glue/spectrum_records.hpp"
#include "quan.hpp"

namespace nb = nanobind;
using namespace nb::literals;

namespace vorn::py {

nb::list read_trace_index(nb::handle function_index) {
  return read_spectrum_index_list(function_index.attr("_FunctionIndex__reader"),
                                  function_index.attr("_FunctionIndex__position"),
                                  quan_name("SpectrumIndex"), quan_name("VornSymbols"));
}

namespace {

// The record's position when the native path can use it: the package's own
// value, or an int assigned to it that fits a file offset.
bool native_position(SpectrumIndexObject* r, int64_t& out) {
  if (!r->position) {
    out = r->position_value;
    return r->has_position_value;
  }
  if (!PyLong_CheckExact(r->position)) return false;
  int overflow = 0;
  long long v = PyLong_AsLongLongAndOverflow(r->position, &overflow);
  if (overflow || (v == -1 && PyErr_Occurred())) {
    PyErr_Clear();
    return false;
  }
  out = v;
  return true;
}

nb::object read_points_natively(VdpFileReader& reader, int64_t position) {
  if (position < 0) throw FormatError("negative file position " + std::to_string(position), 0);
  FileCursor cursor = reader.get().private_cursor();
  SpectrumPoints p;
  {
    nb::gil_scoped_release release;
    cursor.set_buffer(static_cast<uint64_t>(position));
    p = read_spectrum_with_x(cursor);
  }
  return make_instance<SpectrumPointList>(std::move(p.x), std::move(p.intensity));
}

}  // namespace

nb::object read_trace_points(nb::handle record) {
  if (SpectrumIndexObject* r = as_spectrum_index(record.ptr())) {
    VdpFileReader* reader = r->reader ? exact<VdpFileReader>(r->reader) : nullptr;
    int64_t position;
    if (reader && native_position(r, position)) return read_points_natively(*reader, position);
  }
  nb::object reader = record.attr("_SpectrumIndex__reader");
  reader.attr("_VdpFileReader__set_buffer")(record.attr("_SpectrumIndex__position"));
  return reader.attr("_VdpFileReader__read_spectrum")();
}

namespace {

using A = TraceAnalysis;

nb::handle trace_list(const A& a) {
  const nb::object& list = a.slots[A::kTraceIndexList];
  return list.is_valid() ? list : nb::none();
}

Py_ssize_t trace_count(const A& a) {
  Py_ssize_t n = PyObject_Length(trace_list(a).ptr());
  if (n < 0) throw nb::python_error();
  return n;
}

nb::object trace_record(const A& a, nb::handle index) {
  if (lt(index, nb::int_(0)) || ge(index, nb::int_(trace_count(a))))
    raise_exception("Index out of range");
  nb::object record = nb::steal(PyObject_GetItem(trace_list(a).ptr(), index.ptr()));
  if (!record.is_valid()) throw nb::python_error();
  return record;
}

nb::str analysis_text(const A& a) {
  nb::str s("[{}] {} traces");
  const nb::object& index = a.slots[A::kIndex];
  return nb::str(s.format(index.is_valid() ? index : nb::none(), trace_count(a)));
}

// Allocates a `T` of class `cls` (or a subclass) and reads its traces.
template <typename T>
nb::object create(nb::handle cls, nb::object function_index, nb::object index) {
  nb::object o = make_instance<T>(cls);
  auto* a = nb::inst_ptr<T>(o);
  a->slots[A::kFunctionIndex] = function_index;
  a->slots[A::kIndex] = index;
  a->slots[A::kTraceIndexList] = read_trace_index(function_index);
  return o;
}

template <typename T>
nb::class_<T, A> bind_kind(nb::module_& m, const char* name, const char* doc) {
  static PyType_Slot slots[] = {{Py_tp_new, reinterpret_cast<void*>(refuse_new)},
                                {Py_tp_traverse, reinterpret_cast<void*>(record_traverse<T>)},
                                {Py_tp_clear, reinterpret_cast<void*>(record_clear<T>)},
                                {0, nullptr}};
  nb::class_<T, A> cls(m, name, doc, nb::type_slots(slots));
  def_classmethod(cls, "_create", &create<T>, nb::arg("cls"), "function_index"_a.none(),
                  "index"_a.none());
  return cls;
}

}  // namespace

void register_trace_analyses(nb::module_& m) {
  static PyType_Slot slots[] = {{Py_tp_new, reinterpret_cast<void*>(refuse_new)},
                                {Py_tp_traverse, reinterpret_cast<void*>(record_traverse<A>)},
                                {Py_tp_clear, reinterpret_cast<void*>(record_clear<A>)},
                                {0, nullptr}};
  nb::class_<A> base(m, "_TraceAnalysis",
                     "What quantitative and analog analyses share: a function's traces.",
                     nb::type_slots(slots));
  def_classmethod(base, "_create", &create<A>, nb::arg("cls"), "function_index"_a.none(),
                  "index"_a.none());
  for (size_t i = 0; i < A::kFields.size(); ++i)
    base.def_prop_rw(
        A::kFields[i], [i](A& a) { return a.slots[i].is_valid() ? a.slots[i] : nb::none(); },
        [i](A& a, nb::object v) { a.slots[i] = std::move(v); },
        nb::for_setter(nb::arg("value").none()));
  base.def_prop_ro(
      "index", [](A& a) { return a.slots[A::kIndex]; },
      "Position of this analysis among the measurement's analyses of its kind.");
  base.def_prop_ro(
      "function_index", [](A& a) { return a.slots[A::kFunctionIndex]; },
      "The function index record this analysis was made from.");
  base.def_prop_ro(
      "supplemental_properties",
      [](A& a) {
        return a.slots[A::kFunctionIndex]
            .attr("_FunctionIndex__function_description")
            .attr("_FunctionDescription__quan_description")
            .attr("_QuanDescription__supplemental_properties");
      },
      "The function's supplemental properties.");
  base.def("get_trace_count", &trace_count, "Number of traces (channels) of this analysis.");
  base.def(
      "get_trace_description",
      [](A& a, nb::handle index) {
        return trace_record(a, index).attr("_SpectrumIndex__spectrum_description");
      },
      "index"_a.none(), "The description record (``InternalSpectrumDescription``) of one trace.");
  base.def(
      "get_trace_points",
      [](A& a, nb::handle index) { return read_trace_points(trace_record(a, index)); },
      "index"_a.none(), "The points of one trace: x is the retention time.");
  base.def("_trace_record", &trace_record, "index"_a.none(),
           "The trace record (``SpectrumIndex``) at `index`, checked against the trace count.");
  base.def("__str__", &analysis_text).def("__repr__", &analysis_text);
  add_trace_api(base);

  auto quan = bind_kind<QuanAnalysis>(
      m, "QuanAnalysis",
      "A quantitative analysis: SRM or SIM traces recorded by a mass spectrometer.");
  def_classmethod(quan, "_QuanAnalysis__create_instance", &create<QuanAnalysis>, nb::arg("cls"),
                  "function_index"_a.none(), "index"_a.none());
  auto analog = bind_kind<AnalogAnalysis>(
      m, "AnalogAnalysis",
      "An analog analysis: traces of an analog detector (pressure, UV signal, ...).");
  def_classmethod(analog, "_AnalogAnalysis__create_instance", &create<AnalogAnalysis>,
                  nb::arg("cls"), "function_index"_a.none(), "index"_a.none());

  m.def("_read_trace_index", &read_trace_index, "function_index"_a.none(),
        "The trace records of a function: its spectrum index block, read in order.");
}

}  // namespace vorn::py
