// Absolute positions from an index block's origin and stored offsets. A
// hostile offset must not overflow: the sum is checked.
#pragma once

#include <cstdint>
#include <string>

#include "vorn_core/errors.hpp"

namespace vorn::py {

inline int64_t absolute_position(int64_t offset, uint64_t origin) {
  int64_t sum;
  if (__builtin_add_overflow(offset, static_cast<int64_t>(origin), &sum))
    throw FormatError("offset " + std::to_string(offset) + " overflows a file position", origin);
  return sum;
}

}  // namespace vorn::py
