// The bound reader and its stream: a VdpFileReader owns the core reader of
// one open file; its `__stream` (a VdpStream) reports and performs closing.
#pragma once

#include <nanobind/nanobind.h>

#include <memory>

#include "vorn_core/container_reader.hpp"
#include "vorn_core/errors.hpp"

namespace vorn::py {

namespace nb = nanobind;

struct VdpStream {
  std::shared_ptr<ContainerReader> core;
  bool closed() const { return !core || core->closed(); }
};

struct VdpFileReader {
  std::shared_ptr<ContainerReader> core;
  nb::object stream;

  // The core reader; ClosedError for a reader built without a file.
  ContainerReader& get() const {
    if (!core) throw ClosedError();
    return *core;
  }
};

}  // namespace vorn::py
