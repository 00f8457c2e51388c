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
#include "qual.hpp"
#include "record_access.hpp"
#include "spectrum_selection.hpp"
#include "vorn_core/analysis/absorbance.hpp"
#include "vorn_core/analysis/absorbance_arrays.hpp"
#include "vorn_core/errors.hpp"

namespace nb = nanobind;
using namespace nb::literals;

namespace vorn::py {
namespace {

using analysis::AbsorbanceSpectrum;
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

// The spectra with a retention time, and how to read them.
struct Source {
  std::vector<SelectedSpectrum> spectra;
  nb::object wl;  // the function's wavelength array, or None
  bool has_wl = false;
  std::vector<double> wavelengths;
  std::shared_ptr<const MappedFile> file;  // null: read through the reader protocol
  std::vector<int64_t> positions, numbers;

  explicit Source(const DADAnalysis& a)
      : spectra(timed_spectra(a.spectrum_index_list)), wl(wavelength_arr(a)) {
    has_wl = !is_none_eq(wl);
    if (has_wl)
      for (nb::handle v : wl) wavelengths.push_back(number(v));
    if (VdpFileReader* reader = exact<VdpFileReader>(a.reader)) {
      file = reader->get().file();
      for (const SelectedSpectrum& s : spectra) {
        positions.push_back(SpectrumEntry(s.record).position_value());
        numbers.push_back(s.index);
      }
    }
  }
  analysis::AbsorbanceSource native() const {
    return {file.get(), positions, numbers, has_wl ? &wavelengths : nullptr};
  }
  // Spectrum s read as the point-list methods read it.
  AbsorbanceSpectrum read(const DADAnalysis& a, size_t s) const {
    a.reader.attr("_VdpFileReader__set_buffer")(spectrum_position(spectra[s].record));
    nb::object list = has_wl ? a.reader.attr("_VdpFileReader__read_dad_spectrum")(wl)
                             : a.reader.attr("_VdpFileReader__read_spectrum")();
    AbsorbanceSpectrum p;
    if (const SpectrumPointList* l = exact<SpectrumPointList>(list)) {
      for (size_t i = 0; i < l->size(); ++i) {
        p.x.push_back(l->x[i]);
        p.intensity.push_back(l->intensity[i]);
      }
      return p;
    }
    for (nb::handle point : list) {
      p.x.push_back(number(point.attr("x")));
      p.intensity.push_back(number(point.attr("intensity")));
    }
    return p;
  }
};

nb::tuple chromatogram_arrays(DADAnalysis& a, nb::handle window) {
  Source src(a);
  const size_t n = src.spectra.size();
  F64 rt({n}), mean({n});
  for (size_t s = 0; s < n; ++s) rt.data()[s] = src.spectra[s].rt;
  const ValueRange w = bounds_of(window, "wavelength_range");
  const double lowest = -float_info_max();
  if (src.file) {
    analysis::AbsorbanceSource native = src.native();
    double* out = mean.data();
    nb::gil_scoped_release release;
    analysis::window_means(native, w.min, w.max, lowest, out, nullptr);
  } else {
    for (size_t s = 0; s < n; ++s) {
      AbsorbanceSpectrum p = src.read(a, s);
      mean.data()[s] =
          analysis::window_mean(p.x.data(), p.intensity.data(), p.x.size(), w.min, w.max, lowest)
              .intensity;
    }
  }
  return nb::make_tuple(rt.array(), mean.array());
}

nb::tuple absorbance_matrix(DADAnalysis& a, nb::handle wavelength_range) {
  Source src(a);
  const size_t n = src.spectra.size();
  std::vector<AbsorbanceSpectrum> read;  // through the reader protocol
  if (!src.file)
    for (size_t s = 0; s < n; ++s) read.push_back(src.read(a, s));
  std::vector<double> axis;
  if (src.has_wl)
    axis = src.wavelengths;
  else if (src.file)
    axis = analysis::first_wavelengths(src.native());
  else if (n)
    axis = read[0].x;
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
  for (size_t s = 0; s < n; ++s) rt.data()[s] = src.spectra[s].rt;
  for (size_t i = 0; i < m; ++i) wavelengths.data()[i] = axis[first + i];
  if (src.file) {
    analysis::AbsorbanceSource native = src.native();
    double* out = matrix.data();
    nb::gil_scoped_release release;
    analysis::absorbance_rows(native, axis, first, m, out);
  } else {
    for (size_t s = 0; s < n; ++s) {
      if (read[s].x != axis)
        throw nb::value_error(("spectrum " + std::to_string(src.spectra[s].index) +
                               " has wavelengths of its own: no common wavelength axis")
                                  .c_str());
      std::copy_n(read[s].intensity.begin() + static_cast<ptrdiff_t>(first), m,
                  matrix.data() + s * m);
    }
  }
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
