// Choosing spectra from the table: chromatogram points and the nearest
// spectrum.
#include <doctest/doctest.h>

#include <cmath>
#include <limits>

#include "vorn_core/analysis/selection.hpp"

using namespace vorn::analysis;

namespace {
constexpr double kMax = std::numeric_limits<double>::max();

SpectrumTable table(std::vector<double> rt, std::vector<uint8_t> timed,
                    std::vector<uint32_t> condition = {}) {
  SpectrumTable t;
  t.rt = std::move(rt);
  t.timed = std::move(timed);
  t.condition = condition.empty() ? std::vector<uint32_t>(t.rt.size(), 0) : std::move(condition);
  return t;
}
}  // namespace

TEST_CASE("nearest: ties to the lower row, untimed and NaN rows never") {
  const SpectrumTable t = table({0.5, 1.0, 1.5, NAN, 1.0, 9.0}, {1, 1, 1, 1, 1, 0});
  CHECK(nearest_row(t, 0.74, kMax) == 0);
  CHECK(nearest_row(t, 1.25, kMax) == 1);
  CHECK(nearest_row(t, 1.0, kMax) == 1);
  CHECK(nearest_row(t, 100.0, kMax) == 2);  // row 5 has no time
  CHECK(nearest_row(table({INFINITY}, {1}), 1.0, kMax) == -1);
  CHECK(nearest_row(table({}, {}), 1.0, kMax) == -1);
}

TEST_CASE("select: timed rows of an accepted condition in range, in order") {
  const SpectrumTable t = table({1, 2, 3, 4, 5}, {1, 0, 1, 1, 1}, {0, 0, 1, 0, 0});
  std::vector<size_t> asked;
  const auto rows = select_rows(
      t, [](uint32_t c) { return c == 0; },
      [&](size_t r) {
        asked.push_back(r);
        return t.rt[r] < 5;
      });
  CHECK(rows == std::vector<size_t>{0, 3});
  CHECK(asked == std::vector<size_t>{0, 3, 4});  // only rows that passed the other tests
  CHECK(timed_rows(t) == std::vector<size_t>{0, 2, 3, 4});
  CHECK(any_timed(t));
  CHECK_FALSE(any_timed(table({1, 2}, {0, 0})));
  CHECK_FALSE(any_timed(table({}, {})));
}

TEST_CASE("select: each condition number is asked about once") {
  const SpectrumTable t = table({1, 2, 3, 4, 5}, {1, 1, 1, 0, 1}, {0, 1, 0, 2, 1});
  std::vector<uint32_t> asked;
  const auto rows = select_rows(
      t,
      [&](uint32_t c) {
        asked.push_back(c);
        return c == 1;
      },
      nullptr);
  CHECK(rows == std::vector<size_t>{1, 4});
  CHECK(asked == std::vector<uint32_t>{0, 1});  // row 3 has no time: 2 is never asked
}

TEST_CASE("select: a row at a time chooses as the whole table does") {
  const SpectrumTable t = table({1, 2, 3, 4, 5}, {1, 0, 1, 1, 1}, {0, 0, 1, 0, 0});
  std::vector<uint32_t> asked;
  RowChooser chooser([&](uint32_t c) {
    asked.push_back(c);
    return c == 0;
  });
  std::vector<size_t> rows;
  for (size_t r = 0; r < t.size(); ++r)
    if (chooser.chosen(t, r, [&](size_t row) { return t.rt[row] < 5; })) rows.push_back(r);
  CHECK(rows == std::vector<size_t>{0, 3});
  CHECK(asked == std::vector<uint32_t>{0, 1});
}
