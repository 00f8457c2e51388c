// Property: whatever the bytes, opening them as a container and reading
// everything in it either succeeds or throws vorn::FormatError (or
// UsageError/ClosedError); it never crashes, reads out of bounds or leaks.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "container_walk.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    vorn::ContainerReader reader(
        vorn::MappedFile::of_bytes(std::vector<uint8_t>(data, data + size), "fuzz"));
    vorn::fuzz::walk(reader);
  } catch (const vorn::FormatError&) {
  } catch (const vorn::UsageError&) {
  }
  return 0;
}
