// Property: any bytes taken as a spectrum data block are either refused with
// vorn::FormatError or decode; a successful decode yields exactly the
// declared number of points, ascending in x.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "vorn_core/errors.hpp"
#include "vorn_core/spectrum_block.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  try {
    vorn::SpectrumBlock block(bytes, 0);
    vorn::FloatArray x, y;
    block.decode(x, y);
    if (y.size() != block.points()) std::abort();
    if (block.has_x()) {
      if (x.size() != y.size()) std::abort();
      for (size_t i = 1; i < x.size(); ++i)
        if (!(x[i - 1] <= x[i])) std::abort();
    }
    block.chunks_for(-1e300, 1e300);
  } catch (const vorn::FormatError&) {
  }
  return 0;
}
