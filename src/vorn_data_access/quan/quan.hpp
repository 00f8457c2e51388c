// Module vorn_data_access.quan: quantitative (SRM/SIM) and analog analyses.
// Declarations shared by the module's binding files.
#pragma once

#include <nanobind/nanobind.h>

#include <array>

namespace vorn::py {

namespace nb = nanobind;

// A collaborator by its module-level name, looked up when used.
nb::object quan_name(const char* name);

// An analysis of traces: one per selected-reaction or selected-ion
// monitoring channel (quan) or per analog channel. Its fields are exposed
// under their single-underscore names, readable and writable.
struct TraceAnalysis {
  enum Field { kIndex, kFunctionIndex, kTraceIndexList };
  static constexpr std::array<const char*, 3> kFields = {"_index", "_function_index",
                                                         "_trace_index_list"};
  std::array<nb::object, 3> slots;
};

struct QuanAnalysis : TraceAnalysis {};
struct AnalogAnalysis : TraceAnalysis {};

// The trace records of a function: its spectrum index block, read as the
// MS analyses read theirs.
nb::list read_trace_index(nb::handle function_index);

// The points of one trace record: natively on a cursor of its own for the
// package's record and reader, through the reader protocol otherwise.
nb::object read_trace_points(nb::handle record);

void register_trace_analyses(nb::module_& m);

// Trace objects, arrays in minutes and lookups by transition, on the base class.
void add_trace_api(nb::class_<TraceAnalysis>& cls);

}  // namespace vorn::py
