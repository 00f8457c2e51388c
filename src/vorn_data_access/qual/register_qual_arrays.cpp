// QualAnalysis beside its point lists: TIC, BPC and XICs as numpy arrays, the
// analysis as a sequence of its spectra, and its spectra as table columns.
// Arrays are computed from the same fields and by the same kernels as the
// point lists, so both agree to the last bit.
#include <nanobind/nanobind.h>
#include <nanobind/ndarray.h>

#include <limits>
#include <vector>

#include "../_glue/display.hpp"
#include "../_glue/numpy_out.hpp"
#include "../_glue/python.hpp"
#include "../_glue/reader.hpp"
#include "../_glue/sequence.hpp"
#include "../_glue/xic_fill.hpp"
#include "qual.hpp"
#include "record_access.hpp"
#include "spectrum_selection.hpp"
#include "vorn_core/analysis/xic.hpp"

namespace nb = nanobind;
using namespace nb::literals;

namespace vorn::py {
namespace {

using R = SpectrumField;
using F64 = NumpyOut<double>;

Py_ssize_t spectra_count(const QualAnalysis& a) {
  Py_ssize_t n = PyObject_Length(a.spectrum_index_list.ptr());
  if (n < 0) throw nb::python_error();
  return n;
}

nb::tuple summary_arrays(QualAnalysis& a, nb::handle ms_level, nb::handle polarity,
                         nb::handle scan_filter, int field) {
  Selection chosen(a.spectrum_index_list,
                   SpectrumFilter(ms_level, polarity, scan_filter, nb::none()));
  F64 rt({chosen.size()}), values({chosen.size()});
  for (size_t s = 0; s < chosen.size(); ++s) {
    rt.data()[s] = chosen.rt(s);
    values.data()[s] = description_number(chosen.entry(s), field);
  }
  return nb::make_tuple(rt.array(), values.array());
}

// The (k, 2) windows as two arrays of bounds.
analysis::XicWindows windows_of(nb::handle mz_ranges) {
  nb::object numpy = nb::module_::import_("numpy");
  nb::object arr = numpy.attr("ascontiguousarray")(mz_ranges, "dtype"_a = numpy.attr("float64"));
  nb::tuple shape = arr.attr("shape");
  if (nb::len(shape) != 2 || nb::cast<size_t>(shape[1]) != 2)
    throw nb::value_error(
        nb::str("mz_ranges must be a (k, 2) array of m/z windows (min, max), not shape {}")
            .format(shape)
            .c_str());
  auto view = nb::cast<nb::ndarray<const double, nb::ndim<2>, nb::c_contig>>(arr);
  const size_t k = view.shape(0);
  std::vector<double> lo(k), hi(k);
  for (size_t j = 0; j < k; ++j) {
    lo[j] = view(j, 0);
    hi[j] = view(j, 1);
  }
  return analysis::XicWindows(std::move(lo), std::move(hi));
}

nb::tuple xic_arrays(QualAnalysis& a, nb::handle mz_ranges, nb::handle ms_level,
                     nb::handle polarity, nb::handle scan_filter, nb::handle rt_range) {
  const analysis::XicWindows windows = windows_of(mz_ranges);
  Selection chosen(a.spectrum_index_list,
                   SpectrumFilter(ms_level, polarity, scan_filter, rt_range));
  const size_t n = chosen.size(), k = windows.size();
  F64 rt({n});
  NumpyOut<double, 2> intensity({k, n});
  for (size_t s = 0; s < n; ++s) rt.data()[s] = chosen.rt(s);
  RowSource spectra(chosen.rows, chosen.chosen, a.reader, ProtocolRead::kSpectrum);
  const double lowest = -float_info_max();
  double* out = intensity.data();
  if (spectra.native()) {
    nb::gil_scoped_release release;
    analysis::xic_matrix(spectra.source(), windows, lowest, out, nullptr);
  } else {
    analysis::xic_matrix(spectra.source(), windows, lowest, out, nullptr);
  }
  return nb::make_tuple(rt.array(), intensity.array());
}

// The polarity of a condition as text for tables: "positive", "negative",
// "both", or None.
nb::object polarity_text(nb::handle polarity) {
  if (is_none_eq(polarity)) return nb::none();
  nb::object name = nb::getattr(polarity, "name", nb::none());
  if (!PyUnicode_Check(name.ptr())) return nb::none();
  return name.attr("lower")();
}

// One column per field, one row per spectrum (all of them, in order).
nb::dict spectrum_columns(QualAnalysis& a) {
  const size_t n = static_cast<size_t>(spectra_count(a));
  NumpyOut<int64_t> index({n}), ms_level({n});
  F64 rt({n}), precursor({n}), energy({n}), tic({n}), base_mz({n}), base_intensity({n});
  nb::list polarity, scan_filter, native_id, spectrum_type, precursor_index;
  nb::dict condition_level, condition_polarity;  // by condition object
  size_t s = 0;
  for (nb::handle item : a.spectrum_index_list) {
    if (s >= n) break;
    SpectrumEntry e(item);
    index.data()[s] = static_cast<int64_t>(s);
    rt.data()[s] = description_number(e, R::kRetentionTime);
    precursor.data()[s] = description_number(e, R::kPrecursorValue);
    energy.data()[s] = description_number(e, R::kCollisionEnergy);
    tic.data()[s] = description_number(e, R::kCurrentTotalIon);
    base_mz.data()[s] = description_number(e, R::kBasePeakMz);
    base_intensity.data()[s] = description_number(e, R::kBasePeakIntensity);
    nb::object c = e.get(R::kAcquisitionCondition);
    nb::object level = is_none_eq(c) ? nb::none() : nb::object(c.attr("ms_level"));
    ms_level.data()[s] = level.is_none() ? -1 : nb::cast<int64_t>(level);
    polarity.append(is_none_eq(c) ? nb::none() : polarity_text(c.attr("polarity")));
    std::optional<std::string> filter = scan_filter_of(e);
    scan_filter.append(filter ? nb::object(nb::str(filter->data(), filter->size())) : nb::none());
    nb::object properties = e.get(R::kSupplementalProperties);
    nb::object id = nb::none();
    if (PyDict_Check(properties.ptr())) id = properties.attr("get")("NativeId");
    native_id.append(id);
    nb::object type = e.get(R::kSpectrumType);
    spectrum_type.append(is_none_eq(type) ? nb::none()
                                          : nb::object(type.attr("name").attr("lower")()));
    precursor_index.append(e.get(R::kPrecursorIndex));
    ++s;
  }
  nb::dict out;
  out["index"] = index.array();
  out["retention_time"] = rt.array();
  out["ms_level"] = ms_level.array();
  out["polarity"] = polarity;
  out["precursor_mz"] = precursor.array();
  out["collision_energy"] = energy.array();
  out["tic"] = tic.array();
  out["base_peak_mz"] = base_mz.array();
  out["base_peak_intensity"] = base_intensity.array();
  out["scan_filter"] = scan_filter;
  out["spectrum_type"] = spectrum_type;
  out["precursor_index"] = precursor_index;
  out["native_id"] = native_id;
  return out;
}

constexpr const char* kFilterDoc =
    " Spectra are those with a retention time whose acquisition condition has the given "
    "`ms_level` and `polarity` (None: any) and whose stored scan filter (property ScanFilter, "
    "such as 'FTMS + p ESI Full ms') starts with `scan_filter` (None: any), in spectrum order.";

}  // namespace

void add_qual_analysis_arrays(nb::class_<QualAnalysis>& cls) {
  def_sequence(
      cls, [](const QualAnalysis& a) { return spectra_count(a); }, "get_spectrum", "Spectrum",
      "spectrum");
  def_displays(cls);
  const std::string filter_doc(kFilterDoc);
  cls.def(
      "tic_arrays",
      [](QualAnalysis& a, nb::handle ms_level, nb::handle polarity, nb::handle scan_filter) {
        return summary_arrays(a, ms_level, polarity, scan_filter, R::kCurrentTotalIon);
      },
      "ms_level"_a.none() = nb::none(), "polarity"_a.none() = nb::none(),
      "scan_filter"_a.none() = nb::none(),
      nb::sig("def tic_arrays(self, ms_level: int | None = None, polarity: "
              "vorn_data_access.common.PolarityTypes | None = None, scan_filter: str | None = "
              "None) -> tuple[numpy.typing.NDArray[numpy.float64], "
              "numpy.typing.NDArray[numpy.float64]]"),
      ("Total ion chromatogram as (retention_times, intensities), two float64 arrays, from the "
       "stored totals without reading spectra (NaN where a spectrum has none)." +
       filter_doc)
          .c_str());
  cls.def(
      "bpc_arrays",
      [](QualAnalysis& a, nb::handle ms_level, nb::handle polarity, nb::handle scan_filter) {
        return summary_arrays(a, ms_level, polarity, scan_filter, R::kBasePeakIntensity);
      },
      "ms_level"_a.none() = nb::none(), "polarity"_a.none() = nb::none(),
      "scan_filter"_a.none() = nb::none(),
      nb::sig("def bpc_arrays(self, ms_level: int | None = None, polarity: "
              "vorn_data_access.common.PolarityTypes | None = None, scan_filter: str | None = "
              "None) -> tuple[numpy.typing.NDArray[numpy.float64], "
              "numpy.typing.NDArray[numpy.float64]]"),
      ("Base peak chromatogram as (retention_times, intensities), two float64 arrays, from the "
       "stored base peaks without reading spectra." +
       filter_doc)
          .c_str());
  cls.def(
      "xic_arrays", &xic_arrays, "mz_ranges"_a, "ms_level"_a.none() = 1,
      "polarity"_a.none() = nb::none(), "scan_filter"_a.none() = nb::none(),
      "rt_range"_a.none() = nb::none(),
      nb::sig("def xic_arrays(self, mz_ranges: numpy.typing.ArrayLike, ms_level: int | None = 1, "
              "polarity: vorn_data_access.common.PolarityTypes | None = None, scan_filter: str | "
              "None = None, rt_range: vorn_data_access.common.ValueRange | tuple[float, float] | "
              "None = None) -> tuple[numpy.typing.NDArray[numpy.float64], "
              "numpy.typing.NDArray[numpy.float64]]"),
      ("Extracted-ion chromatograms of k m/z windows as (retention_times, intensities): "
       "`mz_ranges` is a (k, 2) array of (min, max), bounds included; `intensities` is a float64 "
       "array of shape (k, n), the sums equal to get_multiple_xic's. One pass over the spectra "
       "decoding only the chunks some window touches, without the GIL. `rt_range` (a ValueRange "
       "or (min, max)) limits the retention times." +
       filter_doc)
          .c_str());
  cls.def("_spectrum_columns", &spectrum_columns,
          "One column (numpy array or list) per spectrum field, for spectra_frame().");
  cls.def(
      "spectra_frame",
      [](nb::handle self) {
        return nb::module_::import_("vorn_data_access.frames").attr("spectra_frame")(self);
      },
      nb::sig("def spectra_frame(self) -> pandas.DataFrame"),
      "A pandas DataFrame with one row per spectrum: index, retention time, MS level, polarity, "
      "precursor m/z (and charge where stored), collision energy, TIC, base peak m/z and "
      "intensity, scan filter, spectrum type, precursor index and native id. Needs pandas (pip "
      "install 'vorn-data-access[pandas]').");
}

}  // namespace vorn::py
