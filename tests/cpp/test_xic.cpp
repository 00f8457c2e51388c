// The XIC planner and sums: the spectra and requests a plan takes, and sums
// from data blocks (chunk skipping, threads) equal to sums over whole point
// arrays.
#include <doctest/doctest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "vorn_core/analysis/absorbance.hpp"
#include "vorn_core/analysis/xic.hpp"
#include "vorn_core/analysis/xic_plan.hpp"
#include "vorn_core/errors.hpp"
#include "vorn_core/mapped_file.hpp"
#include "vorn_core/spectrum_block.hpp"

using namespace vorn;
using namespace vorn::analysis;

namespace {

constexpr double kLowest = -std::numeric_limits<double>::max();

// Spectra written as data blocks (small chunks, so windows skip many) and
// kept as arrays.
struct Run {
  std::vector<Points> spectra;
  std::vector<uint8_t> bytes;
  std::vector<int64_t> positions;
  std::shared_ptr<const MappedFile> file;

  Run(size_t count, size_t points, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> mz(100, 1000), intensity(0, 1000);
    for (size_t s = 0; s < count; ++s) {
      Points p;
      for (size_t i = 0; i < points; ++i) {
        p.x.push_back(mz(rng));
        p.intensity.push_back(std::round(intensity(rng)));
      }
      std::sort(p.x.begin(), p.x.end());
      positions.push_back(static_cast<int64_t>(bytes.size()));
      encode_spectrum_block(FloatSpan{p.x.data(), points, false},
                            FloatSpan{p.intensity.data(), points, false}, SpectrumEncoding{1, 16},
                            bytes);
      spectra.push_back(std::move(p));
    }
    file = MappedFile::of_bytes(bytes, "test");
  }
  SpectrumSource blocks() const {
    SpectrumSource s;
    s.file = file.get();
    s.positions = positions;
    return s;
  }
  SpectrumSource arrays() const {
    SpectrumSource s;
    s.count = spectra.size();
    s.read = [this](size_t i, Points& out) { out = spectra[i]; };
    return s;
  }
};

class Fixed : public XicQuestions {
 public:
  std::vector<uint32_t> group_condition;
  std::vector<std::pair<double, double>> ranges, windows;
  const SpectrumTable* table = nullptr;
  double pre_lo = 0, pre_hi = 0;
  int windows_asked = 0;

  bool in_set(uint32_t id) override {
    return std::find(group_condition.begin(), group_condition.end(), id) != group_condition.end();
  }
  bool same(uint32_t id, uint32_t g) override { return group_condition[g] == id; }
  bool in_prefilter(size_t r) override { return pre_lo <= table->rt[r] && table->rt[r] <= pre_hi; }
  bool in_range(size_t j, size_t r) override {
    return ranges[j].first <= table->rt[r] && table->rt[r] <= ranges[j].second;
  }
  void window(size_t j, double& lo, double& hi) override {
    ++windows_asked;
    lo = windows[j].first;
    hi = windows[j].second;
  }
};

}  // namespace

TEST_CASE("scan_window: bounds included, first of equal peaks, stops above the window") {
  const double x[] = {1, 2, 2, 3, 4, 1};  // the last point lies beyond the stop
  const double y[] = {5, 7, 7, 1, 9, 100};
  const WindowSum s = scan_window(x, y, 6, 2, 3, kLowest);
  CHECK(s.sum == 15.0);
  CHECK(s.base_x == 2.0);
  const WindowSum none = scan_window(x, y, 6, 10, 20, kLowest);
  CHECK(none.sum == 0.0);
  CHECK(none.base_x == 0.0);
  // A NaN bound compares false both ways: it skips nothing, stops nothing.
  CHECK(scan_window(x, y, 6, NAN, 3, kLowest).sum == 20.0);
  CHECK(scan_window(x, y, 6, NAN, NAN, kLowest).sum == 129.0);
}

TEST_CASE("plan: condition set, prefilter, own ranges, windows read once when needed") {
  SpectrumTable t;
  t.timed = {1, 1, 1, 0, 1, 1};
  t.rt = {1.0, 1.5, 3.0, 1.0, 5.5, 7.0};
  t.condition = {0, 1, 0, 0, 0, 2};
  Fixed q;
  q.table = &t;
  q.group_condition = {0, 1};
  // Request 0: condition 0, 1 to 2 min; 1: condition 0, 5 to 6 min;
  // 2: condition 1, 1 to 2 min; 3: condition 1, never in range.
  q.ranges = {{1, 2}, {5, 6}, {1, 2}, {50, 60}};
  q.windows = {{300, 400}, {100, 200}, {0, 1}, {7, 8}};
  q.pre_lo = 1;
  q.pre_hi = 60;
  const std::vector<XicRequest> requests{{0, true}, {0, true}, {1, true}, {1, true}};
  const XicPlan plan = plan_xic(t, requests, 2, true, q);
  // Row 2 (3 min) is read though no request's own range takes it; row 3
  // has no time, row 5 another condition.
  CHECK(plan.rows == std::vector<size_t>{0, 1, 2, 4});
  CHECK(plan.begin == std::vector<size_t>{0, 1, 2, 2, 3});
  CHECK(plan.applicable == std::vector<uint32_t>{0, 2, 1});
  CHECK(q.windows_asked == 3);  // request 3 never needed its window
  CHECK(plan.lo[3] == 0.0);
}

TEST_CASE("plan: a row at a time plans as the whole table does") {
  SpectrumTable t;
  t.timed = {1, 1, 1, 0, 1, 1};
  t.rt = {1.0, 1.5, 3.0, 1.0, 5.5, 7.0};
  t.condition = {0, 1, 0, 0, 0, 2};
  Fixed q;
  q.table = &t;
  q.group_condition = {0, 1};
  q.ranges = {{1, 2}, {5, 6}, {1, 2}, {50, 60}};
  q.windows = {{300, 400}, {100, 200}, {0, 1}, {7, 8}};
  q.pre_lo = 1;
  q.pre_hi = 60;
  const std::vector<XicRequest> requests{{0, true}, {0, true}, {1, true}, {1, true}};
  XicPlanner planner(requests, 2, true, q);
  std::vector<size_t> added;
  for (size_t r = 0; r < t.size(); ++r)
    if (planner.add(t, r)) added.push_back(r);
  const XicPlan plan = planner.finish();
  CHECK(added == std::vector<size_t>{0, 1, 2, 4});
  CHECK(plan.rows == added);
  CHECK(plan.begin == std::vector<size_t>{0, 1, 2, 2, 3});
  CHECK(plan.applicable == std::vector<uint32_t>{0, 2, 1});
}

TEST_CASE("plan: requests without a range take every spectrum of their condition, sorted") {
  SpectrumTable t;
  t.timed = {1, 1};
  t.rt = {1.0, 2.0};
  t.condition = {0, 0};
  Fixed q;
  q.table = &t;
  q.group_condition = {0};
  q.ranges = {{0, 0}, {0, 0}, {1.5, 2.5}};
  q.windows = {{500, 600}, {100, 200}, {300, 400}};
  const std::vector<XicRequest> requests{{0, false}, {0, false}, {0, true}};
  const XicPlan plan = plan_xic(t, requests, 1, false, q);
  CHECK(plan.rows == std::vector<size_t>{0, 1});
  // By ascending lower bound: one sweep through the spectrum serves them all.
  CHECK(std::vector<uint32_t>(plan.applicable.begin(), plan.applicable.begin() + 2) ==
        std::vector<uint32_t>{1, 0});
  CHECK(std::vector<uint32_t>(plan.applicable.begin() + 2, plan.applicable.end()) ==
        std::vector<uint32_t>{1, 2, 0});
}

TEST_CASE("sums from blocks equal sums over the whole arrays, in any window order") {
  const Run run(40, 300, 11);
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> centre(90, 1010), width(0, 30);
  std::vector<double> lo, hi;
  for (int j = 0; j < 50; ++j) {
    const double c = centre(rng), w = width(rng);
    lo.push_back(c - w);
    hi.push_back(c + w);
  }
  lo.push_back(NAN);  // counts every point
  hi.push_back(500);
  lo.push_back(600);  // reversed: counts nothing
  hi.push_back(500);
  const XicWindows windows(lo, hi);
  const size_t k = lo.size(), n = run.spectra.size();
  std::vector<double> from_blocks(k * n), from_arrays(k * n), base_blocks(k * n),
      base_arrays(k * n);
  xic_matrix(run.blocks(), windows, kLowest, from_blocks.data(), base_blocks.data());
  xic_matrix(run.arrays(), windows, kLowest, from_arrays.data(), base_arrays.data());
  CHECK(from_blocks == from_arrays);
  CHECK(base_blocks == base_arrays);
  for (size_t s = 0; s < n; ++s) {
    const Points& p = run.spectra[s];
    for (size_t j = 0; j < k; ++j)
      CHECK(from_blocks[j * n + s] ==
            scan_window(p.x.data(), p.intensity.data(), p.x.size(), lo[j], hi[j], kLowest).sum);
  }
  // A few windows, listed out of order, summed over one block.
  XicScratch scratch;
  const uint32_t which[] = {7, 3, 51, 20};
  WindowSum out[4];
  SpectrumBlock block(run.file->bytes(), static_cast<uint64_t>(run.positions[9]));
  sum_windows(block, windows, which, 4, kLowest, out, scratch);
  for (size_t i = 0; i < 4; ++i) CHECK(out[i].sum == from_arrays[which[i] * n + 9]);
}

TEST_CASE("sum_plan delivers every spectrum of the plan in order, from either source") {
  const Run run(150, 50, 3);
  XicPlan plan;
  for (size_t s = 0; s < run.spectra.size(); ++s) {
    plan.rows.push_back(s);
    plan.begin.push_back(plan.applicable.size());
    if (s % 3) plan.applicable.push_back(static_cast<uint32_t>(s % 2));
  }
  plan.begin.push_back(plan.applicable.size());
  plan.lo = {200, 0};
  plan.hi = {300, 2000};
  const XicWindows windows = windows_of(plan);
  std::vector<std::vector<WindowSum>> results;
  for (const SpectrumSource& source : {run.blocks(), run.arrays()}) {
    std::vector<WindowSum> sums(plan.applicable.size());
    size_t next = 0;
    sum_plan<NoRelease>(plan, source, windows, kLowest, sums.data(), [&](size_t b, size_t e) {
      CHECK(b == next);
      next = e;
    });
    CHECK(next == run.spectra.size());
    results.push_back(sums);
  }
  for (size_t i = 0; i < results[0].size(); ++i) {
    CHECK(results[0][i].sum == results[1][i].sum);
    CHECK(results[0][i].base_x == results[1][i].base_x);
  }
}

TEST_CASE("a damaged block is a format error naming where") {
  Run run(2, 20, 1);
  std::vector<uint8_t> bytes = run.bytes;
  bytes[static_cast<size_t>(run.positions[1]) + 5] ^= 0xff;
  auto file = MappedFile::of_bytes(bytes, "damaged");
  SpectrumSource src;
  src.file = file.get();
  src.positions = run.positions;
  const XicWindows windows({0.0}, {2000.0});
  std::vector<double> out(2);
  CHECK_THROWS_AS(xic_matrix(src, windows, kLowest, out.data(), nullptr), FormatError);
}

TEST_CASE("an empty spectrum stored without x values sums to nothing") {
  std::vector<uint8_t> bytes;
  encode_spectrum_block(FloatSpan{}, FloatSpan{}, SpectrumEncoding{}, bytes);
  auto file = MappedFile::of_bytes(bytes, "empty");
  const std::vector<int64_t> positions{0};
  SpectrumSource src;
  src.file = file.get();
  src.positions = positions;
  const XicWindows windows({0.0, NAN}, {2000.0, NAN});
  std::vector<double> out(2, -1.0), base(2, -1.0);
  xic_matrix(src, windows, kLowest, out.data(), base.data());
  CHECK(out == std::vector<double>{0.0, 0.0});
  CHECK(base == std::vector<double>{0.0, 0.0});
  Points p;
  const std::vector<double> wavelengths{200, 210};
  decode_absorbance(file->bytes(), 0, &wavelengths, p);
  CHECK(p.x.empty());
  CHECK(p.intensity.empty());
}
