// What the analysis kernels know of an analysis's spectra: a column per
// field, a row per spectrum in the analysis's order. The binding layer fills
// it, from the package's own records or from records given from Python, and
// fills only the columns a kernel asks for; the kernels never see where a
// value came from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vorn::analysis {

// Id of "no condition asked for" in the condition column.
inline constexpr uint32_t kNoCondition = UINT32_MAX;

struct SpectrumTable {
  std::vector<int64_t> index;             // the description's index
  std::vector<uint8_t> timed;             // has a retention time (which may still be NaN)
  std::vector<double> rt;                 // that time; NaN where a spectrum has none
  std::vector<uint32_t> condition;        // id of its acquisition condition (ConditionIds)
  std::vector<int64_t> position;          // its data block
  std::vector<int64_t> profile_position;  // its profile data block, 0: none
  std::vector<double> tic, base_peak_mz, base_peak_intensity;  // NaN where absent

  size_t size() const { return timed.size(); }
};

}  // namespace vorn::analysis
