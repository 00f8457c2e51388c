// Speed of the core's analysis kernels on a synthetic run held in memory,
// without the interpreter: 1,000 XICs (10 ppm) planned and summed over 10,000
// MS1 spectra of 5,000 points, from their data blocks (chunk skipping, a few
// threads), and 10 of them also over whole point arrays (one thread); and the wavelength
// chromatogram and max plot of 6,000 absorbance spectra of 500 wavelengths.
//
//   analysis_speed [REPEAT]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <vector>

#include "vorn_core/analysis/absorbance_arrays.hpp"
#include "vorn_core/analysis/xic.hpp"
#include "vorn_core/analysis/xic_plan.hpp"
#include "vorn_core/mapped_file.hpp"
#include "vorn_core/spectrum_block.hpp"

using namespace vorn;
using namespace vorn::analysis;

namespace {

constexpr double kLowest = -std::numeric_limits<double>::max();

template <typename F>
double best_ms(int repeat, F&& f) {
  double best = 1e300;
  for (int i = 0; i < repeat; ++i) {
    auto t = std::chrono::steady_clock::now();
    f();
    best = std::min(
        best,
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count());
  }
  return best;
}

// Every spectrum of one condition, every request without a range.
class AllOfOne : public XicQuestions {
 public:
  explicit AllOfOne(const std::vector<std::pair<double, double>>& w) : windows_(w) {}
  bool in_set(uint32_t) override { return true; }
  bool same(uint32_t, uint32_t) override { return true; }
  bool in_prefilter(size_t) override { return true; }
  bool in_range(size_t, size_t) override { return true; }
  void window(size_t j, double& lo, double& hi) override {
    lo = windows_[j].first;
    hi = windows_[j].second;
  }

 private:
  const std::vector<std::pair<double, double>>& windows_;
};

}  // namespace

int main(int argc, char** argv) {
  const int repeat = argc > 1 ? std::atoi(argv[1]) : 3;
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> mz(150, 2000);
  std::lognormal_distribution<float> intensity(10, 2);

  const size_t spectra = 10000, points = 5000;
  std::vector<uint8_t> bytes;
  std::vector<int64_t> positions;
  std::vector<Points> arrays(spectra);
  SpectrumTable table;
  for (size_t s = 0; s < spectra; ++s) {
    Points& p = arrays[s];
    for (size_t i = 0; i < points; ++i) p.x.push_back(mz(rng));
    std::sort(p.x.begin(), p.x.end());
    std::vector<float> y(points);
    for (float& v : y) v = intensity(rng);
    p.intensity.assign(y.begin(), y.end());
    positions.push_back(static_cast<int64_t>(bytes.size()));
    encode_spectrum_block(FloatSpan{p.x.data(), points, false}, FloatSpan{y.data(), points, true},
                          SpectrumEncoding{}, bytes);
    table.timed.push_back(1);
    table.rt.push_back(static_cast<double>(s) * 0.006);
    table.condition.push_back(0);
  }
  auto file = MappedFile::of_bytes(std::move(bytes), "synthetic");
  std::vector<std::pair<double, double>> windows;
  std::uniform_real_distribution<double> centre(200, 1900);
  for (int j = 0; j < 1000; ++j) {
    const double c = centre(rng);
    windows.push_back({c * (1 - 1e-5), c * (1 + 1e-5)});
  }
  std::vector<XicRequest> requests(windows.size());
  AllOfOne questions(windows);
  XicPlan plan;
  const double t_plan =
      best_ms(repeat, [&] { plan = plan_xic(table, requests, 1, false, questions); });
  const XicWindows xic_windows = windows_of(plan);
  SpectrumSource blocks;
  blocks.file = file.get();
  blocks.positions = positions;
  SpectrumSource whole;
  whole.count = spectra;
  whole.read = [&](size_t s, Points& out) { out = arrays[s]; };
  std::vector<WindowSum> sums(plan.applicable.size());
  auto run = [&](const SpectrumSource& source) {
    sum_plan<NoRelease>(plan, source, xic_windows, kLowest, sums.data(), [](size_t, size_t) {});
  };
  const double t_blocks = best_ms(repeat, [&] { run(blocks); });
  // Point arrays are scanned from their first point for every window, as a
  // list a reader given from Python hands over must be: 10 windows here.
  std::vector<XicRequest> few(10);
  const XicPlan few_plan = plan_xic(table, few, 1, false, questions);
  const XicWindows few_windows = windows_of(few_plan);
  std::vector<WindowSum> few_sums(few_plan.applicable.size());
  auto run_few = [&](const SpectrumSource& source) {
    sum_plan<NoRelease>(few_plan, source, few_windows, kLowest, few_sums.data(),
                        [](size_t, size_t) {});
  };
  const double t_few_blocks = best_ms(repeat, [&] { run_few(blocks); });
  const double t_few_arrays = best_ms(repeat, [&] { run_few(whole); });
  std::vector<double> matrix(windows.size() * spectra);
  const double t_matrix =
      best_ms(repeat, [&] { xic_matrix(blocks, xic_windows, kLowest, matrix.data(), nullptr); });
  std::printf("1,000 XICs over %zu spectra of %zu points:\n", spectra, points);
  std::printf("  plan:                                  %8.1f ms\n", t_plan);
  std::printf("  sums from data blocks (chunk skipping): %8.1f ms\n", t_blocks);
  std::printf("  xic_matrix from data blocks:            %8.1f ms\n", t_matrix);
  std::printf("10 XICs: from data blocks:                %8.1f ms\n", t_few_blocks);
  std::printf("         over whole point arrays in memory: %6.1f ms\n", t_few_arrays);

  // Absorbance spectra without x: the function's wavelengths stand in.
  std::vector<double> wavelengths(500);
  for (size_t i = 0; i < wavelengths.size(); ++i) wavelengths[i] = 190.0 + 0.9 * i;
  std::vector<uint8_t> dad_bytes;
  std::vector<int64_t> dad_positions;
  std::normal_distribution<float> noise(0, 0.002f);
  for (size_t s = 0; s < 6000; ++s) {
    std::vector<float> a(wavelengths.size());
    for (size_t i = 0; i < a.size(); ++i)
      a[i] = static_cast<float>(std::exp(-std::pow((wavelengths[i] - 300) / 15, 2))) + noise(rng);
    dad_positions.push_back(static_cast<int64_t>(dad_bytes.size()));
    encode_spectrum_block(FloatSpan{}, FloatSpan{a.data(), a.size(), true}, SpectrumEncoding{},
                          dad_bytes);
  }
  auto dad_file = MappedFile::of_bytes(std::move(dad_bytes), "synthetic DAD");
  SpectrumSource dad;
  dad.file = dad_file.get();
  dad.positions = dad_positions;
  dad.wavelengths = &wavelengths;
  std::vector<double> mean(6000);
  std::vector<MaxPlotValue> max_plot(6000);
  const double t_mean =
      best_ms(repeat, [&] { window_means(dad, 250, 260, kLowest, mean.data(), nullptr); });
  const double t_max = best_ms(
      repeat, [&] { max_plot_values(dad, 196, 604, 200, 600, 4, kLowest, max_plot.data()); });
  std::printf("6,000 absorbance spectra of 500 wavelengths:\n");
  std::printf("  chromatogram of a 10 nm window:         %8.1f ms\n", t_mean);
  std::printf("  max plot over 200-600 nm:               %8.1f ms\n", t_max);
  return 0;
}
