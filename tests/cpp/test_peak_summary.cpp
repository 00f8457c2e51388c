// The total and base peak that the writer and zelc fill in.
#include <doctest/doctest.h>

#include <vector>

#include "vorn_core/analysis/peak_summary.hpp"

using namespace vorn;
using namespace vorn::analysis;

TEST_CASE("total in point order, base peak the first of the most intense") {
  const std::vector<double> x{100, 200, 300, 400};
  const std::vector<float> y{1, 5, 5, 2};
  SpectrumDescription d;
  fill_peak_summary(d, FloatSpan{x.data(), 4, false}, FloatSpan{y.data(), 4, true}, nullptr,
                    {true, true, true});
  CHECK(d.current_total_ion == 13.0);
  CHECK(d.base_peak_mz == 200.0);
  CHECK(d.base_peak_intensity == 5.0);
}

TEST_CASE("only the asked fields; absorbance spectra take the wavelengths") {
  const std::vector<double> wavelengths{250, 260}, y{0.5, 0.25};
  SpectrumDescription d;
  d.current_total_ion = 99.0;
  fill_peak_summary(d, FloatSpan{}, FloatSpan{y.data(), 2, false}, &wavelengths,
                    {false, true, false});
  CHECK(d.current_total_ion == 99.0);
  CHECK(d.base_peak_mz == 250.0);
  CHECK_FALSE(d.base_peak_intensity.has_value());
}

TEST_CASE("no points: a total of 0 and no base peak; counts that differ read nothing beyond") {
  SpectrumDescription d;
  fill_peak_summary(d, FloatSpan{}, FloatSpan{}, nullptr, {true, true, true});
  CHECK(d.current_total_ion == 0.0);
  CHECK_FALSE(d.base_peak_mz.has_value());
  CHECK_FALSE(d.base_peak_intensity.has_value());
  const std::vector<double> x{100}, y{1, 9};
  fill_peak_summary(d, FloatSpan{x.data(), 1, false}, FloatSpan{y.data(), 2, false}, nullptr,
                    {true, true, true});
  CHECK(d.base_peak_intensity == 9.0);
  CHECK_FALSE(d.base_peak_mz.has_value());
}
