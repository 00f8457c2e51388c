// Choosing spectra of an analysis from its table: the spectra a chromatogram
// gets a point for, and the spectrum nearest a retention time.
#pragma once

#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

#include "condition_ids.hpp"
#include "spectrum_table.hpp"

namespace vorn::analysis {

// Rows with a retention time whose condition `accepts` (by the number in
// the condition column; asked once per number) and that `in_range` accepts
// (when given), in row order. The tests run in that order and stop at the
// first that fails, so `in_range` is asked only of rows that passed the
// others. Without `accepts` the condition column is not read.
std::vector<size_t> select_rows(const SpectrumTable& table,
                                const std::function<bool(uint32_t condition)>& accepts,
                                const std::function<bool(size_t row)>& in_range);

// The same choice a row at a time, for a caller that fills the table row by
// row and uses each chosen row while it is at hand (rows in order, each
// asked once).
class RowChooser {
 public:
  explicit RowChooser(std::function<bool(uint32_t condition)> accepts)
      : accepts_(std::move(accepts)) {}

  template <typename InRange>
  bool chosen(const SpectrumTable& t, size_t r, InRange&& in_range) {
    if (!t.timed[r]) return false;
    if (accepts_ &&
        !answers_.get(t.condition[r], 0, [&](uint32_t id, size_t) { return accepts_(id); }))
      return false;
    return in_range(r);
  }

 private:
  std::function<bool(uint32_t)> accepts_;
  ConditionAnswers answers_{1};
};

// Rows with a retention time, in order.
std::vector<size_t> timed_rows(const SpectrumTable& table);
bool any_timed(const SpectrumTable& table);

// The row whose retention time is nearest `target`: distances are compared
// strictly with the best so far, which starts at `start` (the largest finite
// double), so ties go to the lowest row, and NaN or infinite times are never
// nearest. -1 when no row qualifies.
ptrdiff_t nearest_row(const SpectrumTable& table, double target, double start);

}  // namespace vorn::analysis
