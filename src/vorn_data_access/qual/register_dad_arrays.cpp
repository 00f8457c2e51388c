// DADAnalysis beside its point lists: the absorbance matrix and wavelength
// chromatograms as numpy arrays, and the analysis as a sequence of its
// spectra. The package's own files are decoded in the core without the GIL;
// a reader given from Python is read through the reader protocol, and both
// go through the same kernels as get_chromatogram.
#include <nanobind/nanobind.h>

#include <vector>

#include "../_glue/display.hpp"
#include "../_glue/numpy_out.hpp"
#include "../_glue/point_list.hpp"
#include "../_glue/python.hpp"
#include "../_glue/reader.hpp"
#include "../_glue/sequence.hpp"
#include "../_glue/xic_fill.hpp"
#include "analysis_adapter.hpp"
#include "qual.hpp"
#include "record_access.hpp"
#include "spectrum_selection.hpp"
#include "vorn_core/analysis/absorbance_arrays.hpp"
#include "vorn_core/analysis/selection.hpp"
#include "vorn_core/errors.hpp"

namespace nb = nanobind;
using namespace nb::literals;

namespace vorn::py {
namespace {

using F64 = NumpyOut<double>;

Py_ssize_t spectra_count(const DADAnalysis& a) {
  Py_ssize_t n = PyObject_Length(a.spectrum_index_list.ptr());
  if (n < 0) throw nb::python_error();
  return n;
}

nb::object wavelength_arr(const DADAnalysis& a) {
  return a.function_index.attr("_FunctionIndex__function_description")
      .attr("_FunctionDescription__qual_description")
      .attr("_QualDescription__wavelength_arr");
}

// The spectra with a retention time as a kernel's source.
struct Timed {
  SpectrumRows rows;
  RowSource spectra;
  std::vector<int64_t> numbers;  // their indexes in the analysis, for errors

  explicit Timed(const DADAnalysis& a)
      : rows(a.spectrum_index_list, {}),
        spectra(rows, analysis::timed_rows(rows.table), a.reader, ProtocolRead::kAbsorbance,
                wavelength_arr(a)) {
    for (size_t r : spectra.rows()) numbers.push_back(static_cast<int64_t>(r));
  }
  size_t size() const { return spectra.rows().size(); }
  double rt(size_t s) const { return rows.table.rt[spectra.rows()[s]]; }
};

// Runs a kernel over the source: without the GIL on the package's own file.
template <typename Kernel>
void run(const Timed& t, Kernel&& kernel) {
  if (t.spectra.native()) {
    nb::gil_scoped_release release;
    kernel(t.spectra.source());
  } else {
    kernel(t.spectra.source());
  }
}

nb::tuple chromatogram_arrays(DADAnalysis& a, nb::handle window) {
  Timed t(a);
  const size_t n = t.size();
  F64 rt({n}), mean({n});
  for (size_t s = 0; s < n; ++s) rt.data()[s] = t.rt(s);
  const ValueRange w = bounds_of(window, "wavelength_range");
  const double lowest = -float_info_max();
  double* out = mean.data();
  run(t, [&](const analysis::SpectrumSource& src) {
    analysis::window_means(src, w.min, w.max, lowest, out, nullptr);
  });
  return nb::make_tuple(rt.array(), mean.array());
}

nb::tuple absorbance_matrix(DADAnalysis& a, nb::handle wavelength_range) {
  Timed t(a);
  const size_t n = t.size();
  std::vector<double> axis;
  if (const std::vector<double>* wl = t.spectra.wavelengths())
    axis = *wl;
  else
    run(t, [&](const analysis::SpectrumSource& src) { axis = analysis::first_wavelengths(src); });
  std::vector<size_t> columns;
  const bool limited = !wavelength_range.is_none();
  const ValueRange w = limited ? bounds_of(wavelength_range, "wavelength_range") : ValueRange{};
  for (size_t c = 0; c < axis.size(); ++c)
    if (!limited || w.contains(axis[c])) columns.push_back(c);
  // The kept wavelengths are consecutive on an ascending axis.
  const size_t first = columns.empty() ? 0 : columns.front();
  for (size_t i = 0; i < columns.size(); ++i)
    if (columns[i] != first + i)
      throw nb::value_error("the analysis's wavelengths are not in ascending order");
  const size_t m = columns.size();
  F64 rt({n}), wavelengths({m});
  NumpyOut<double, 2> matrix({n, m});
  for (size_t s = 0; s < n; ++s) rt.data()[s] = t.rt(s);
  for (size_t i = 0; i < m; ++i) wavelengths.data()[i] = axis[first + i];
  double* out = matrix.data();
  run(t, [&](const analysis::SpectrumSource& src) {
    analysis::absorbance_rows(src, t.numbers, axis, first, m, out);
  });
  return nb::make_tuple(rt.array(), wavelengths.array(), matrix.array());
}

}  // namespace

void add_dad_analysis_arrays(nb::class_<DADAnalysis>& cls) {
  def_sequence(
      cls, [](const DADAnalysis& a) { return spectra_count(a); }, "get_spectrum", "DADSpectrum",
      "spectrum");
  def_displays(cls);
  cls.def(
      "absorbance_matrix", &absorbance_matrix, "wavelength_range"_a.none() = nb::none(),
      nb::sig("def absorbance_matrix(self, wavelength_range: vorn_data_access.common.ValueRange | "
              "tuple[float, float] | None = None) -> tuple[numpy.typing.NDArray[numpy.float64], "
              "numpy.typing.NDArray[numpy.float64], numpy.typing.NDArray[numpy.float64]]"),
      "The absorbances of every spectrum with a retention time as (retention_times, "
      "wavelengths, matrix): `matrix` is float64 of shape (spectra, wavelengths), its rows the "
      "spectra's points exactly; `wavelength_range` (a ValueRange or (min, max), bounds "
      "included) keeps part of the wavelengths. Spectra with wavelengths of their own, unlike "
      "the analysis's, raise ValueError.");
  cls.def(
      "chromatogram_arrays", &chromatogram_arrays, "wavelength_range"_a,
      nb::sig("def chromatogram_arrays(self, wavelength_range: vorn_data_access.common.ValueRange "
              "| tuple[float, float]) -> tuple[numpy.typing.NDArray[numpy.float64], "
              "numpy.typing.NDArray[numpy.float64]]"),
      "The wavelength chromatogram as (retention_times, absorbances), two float64 arrays: the "
      "mean absorbance over `wavelength_range` (a ValueRange or (min, max)) of every spectrum "
      "with a retention time, equal to get_chromatogram's intensities.");
}

}  // namespace vorn::py
