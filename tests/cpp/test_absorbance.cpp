// The diode-array kernels on the package's documented cases.
#include <doctest/doctest.h>

#include <limits>
#include <vector>

#include "vorn_core/analysis/absorbance.hpp"

using namespace vorn::analysis;

namespace {
constexpr double kLowest = -std::numeric_limits<double>::max();

DadValue mean_of(const std::vector<double>& x, const std::vector<double>& y, double lo, double hi) {
  return window_mean(x.data(), y.data(), x.size(), lo, hi, kLowest);
}
}  // namespace

TEST_CASE("window mean integrates trapezoids between interpolated edges") {
  // Points at 248, 252, 256, 262 nm, absorbances 1, 3, 3, 1, window [250, 260].
  const DadValue v = mean_of({248, 252, 256, 262}, {1, 3, 3, 1}, 250, 260);
  CHECK(v.intensity == doctest::Approx(79.0 / 30.0));
  CHECK(v.base_x == 252.0);  // the first of the two equal maxima
}

TEST_CASE("window mean over the whole spectrum and outside it") {
  const std::vector<double> x{200, 210, 220}, y{1, 3, 2};
  const DadValue all = mean_of(x, y, 100, 300);
  CHECK(all.intensity == doctest::Approx((2.0 * 10 + 2.5 * 10) / 20));
  CHECK(all.base_x == 210.0);
  const DadValue below = mean_of(x, y, 100, 150), above = mean_of(x, y, 250, 300);
  CHECK(below.intensity == 0.0);
  CHECK(below.base_x == -1.0);
  CHECK(above.base_x == -1.0);
  CHECK(mean_of({}, {}, 0, 1).base_x == -1.0);
}

TEST_CASE("window inside one segment: mean of the edges, peak at the higher edge") {
  const DadValue rising = mean_of({200, 210}, {0, 10}, 202, 204);
  CHECK(rising.intensity == doctest::Approx(3.0));
  CHECK(rising.base_x == 204.0);
  const DadValue flat = mean_of({200, 210}, {5, 5}, 202, 204);
  CHECK(flat.base_x == 203.0);  // equal edges: the window's middle
}

TEST_CASE("windows without width divide by nothing") {
  // A window ending on the first wavelength, one starting on the last, and
  // coinciding wavelengths give the absorbance there.
  CHECK(mean_of({200, 210, 220}, {4, 5, 6}, 190, 200).intensity == 4.0);
  CHECK(mean_of({200, 210, 220}, {4, 5, 6}, 220, 230).intensity == 6.0);
  CHECK(mean_of({200, 200, 200}, {4, 5, 6}, 190, 230).intensity == 4.0);
  CHECK(mean_of({205}, {7}, 200, 210).intensity == 7.0);
}

TEST_CASE("max plot: peak wavelength and the mean within the tolerance") {
  const std::vector<double> x{250, 252, 254}, y{5, 9, 7};
  MaxPlotValue v = max_plot_value(x.data(), y.data(), 3, 249, 255, 2, kLowest);
  CHECK(v.found);
  CHECK(v.base_x == 252.0);
  CHECK(v.mean == doctest::Approx(7.0));
  CHECK(v.count == 3);
  v = max_plot_value(x.data(), y.data(), 3, 249, 255, -1, kLowest);
  CHECK(v.count == 0);  // a negative tolerance averages nothing
  CHECK_FALSE(max_plot_value(x.data(), y.data(), 3, 260, 270, 2, kLowest).found);
  const std::vector<double> ties{3, 3};
  CHECK(max_plot_value(x.data(), ties.data(), 2, 0, 1000, 0, kLowest).base_x == 250.0);
}
