// One spectrum's points as doubles, x ascending: what the kernels work on
// when they do not read a data block's chunks directly.
#pragma once

#include <vector>

namespace vorn::analysis {

struct Points {
  std::vector<double> x, intensity;
};

}  // namespace vorn::analysis
