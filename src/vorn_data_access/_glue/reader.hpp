// The bound reader and its stream: a VdpFileReader owns the core reader of
// one open file; its `__stream` (a VdpStream) reports and performs closing.
#pragma once

#include <nanobind/nanobind.h>

#include <memory>
#include <string>

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

// Decodes the spectrum data block at the cursor (the reader's shared one or a
// private FileCursor). A block without x values is an absorbance spectrum,
// which needs its function's wavelengths: refused here.
template <typename Cursor>
SpectrumPoints read_spectrum_with_x(Cursor& c) {
  SpectrumPoints p = c.read_spectrum();
  if (p.x.size() != p.intensity.size())
    throw FormatError("spectrum stores no x values; read it with its function's wavelengths",
                      c.absolute_position());
  return p;
}

}  // namespace vorn::py
