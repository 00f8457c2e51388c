// Module vorn_data_access.writer: writing container files from Python.
#pragma once

#include <nanobind/nanobind.h>

#include <memory>
#include <optional>
#include <vector>

#include "vorn_core/container_writer.hpp"
#include "vorn_core/errors.hpp"

namespace vorn::py {

namespace nb = nanobind;

struct VornWriter {
  std::unique_ptr<ContainerWriter> core;
  nb::object path;  // as given: str, bytes or os.PathLike
  ContainerWriter& get() const {
    if (!core) throw vorn::UsageError("the writer is closed");
    return *core;
  }
};

struct MeasurementWriter {
  nb::object writer;  // keeps the VornWriter alive
  size_t id;
};

enum class FunctionKind { kMs, kDad, kQuan, kAnalog };

struct FunctionWriter {
  nb::object writer;
  size_t id;
  FunctionKind kind;
  std::optional<std::vector<double>> wavelengths;
};

// The Python objects each writer object holds, for the garbage collector.
template <typename F>
void visit_objects(VornWriter& w, F&& f) {
  f(w.path);
}
template <typename F>
void visit_objects(MeasurementWriter& w, F&& f) {
  f(w.writer);
}
template <typename F>
void visit_objects(FunctionWriter& w, F&& f) {
  f(w.writer);
}

void register_writer(nb::module_& m);
void register_function_writer(nb::module_& m);

}  // namespace vorn::py
