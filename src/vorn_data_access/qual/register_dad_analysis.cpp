#include <nanobind/nanobind.h>

#include <vector>

#include "../_glue/gc.hpp"
#include "../_glue/point_list.hpp"
#include "../_glue/python.hpp"
#include "../_glue/reader.hpp"
#include "../_glue/records.hpp"
#include "../_glue/xic_fill.hpp"
#include "analysis_adapter.hpp"
#include "analysis_read.hpp"
#include "chromatogram.hpp"
#include "qual.hpp"
#include "record_access.hpp"
#include "vorn_core/analysis/absorbance_arrays.hpp"
#include "vorn_core/analysis/selection.hpp"

namespace nb = nanobind;
using namespace nb::literals;

namespace vorn::py {
namespace {

using R = SpectrumField;

nb::object qual_description(const DADAnalysis& a) {
  return a.function_index.attr("_FunctionIndex__function_description")
      .attr("_FunctionDescription__qual_description");
}

nb::object wavelengths(const DADAnalysis& a) {
  return qual_description(a).attr("_QualDescription__wavelength_arr");
}

Py_ssize_t spectra_count(const DADAnalysis& a) {
  Py_ssize_t n = PyObject_Length(a.spectrum_index_list.ptr());
  if (n < 0) throw nb::python_error();
  return n;
}

nb::object get_spectrum(const DADAnalysis& a, nb::handle index) {
  if (lt(index, nb::int_(0)) || ge(index, nb::int_(spectra_count(a))))
    raise_exception("Index out of range");
  return qual_name("DADSpectrum")
      .attr("_DADSpectrum__create_instance")(a.spectrum_index_list[index], index, wavelengths(a));
}

// The spectra that get a point: those with a retention time, in order.
std::vector<size_t> timed(const SpectrumRows& rows) {
  return analysis::timed_rows(rows.table);
}

void append_point(const PointMaker& points, nb::handle list, const SpectrumRows& rows, size_t r,
                  nb::handle intensity, nb::handle base_x) {
  SpectrumEntry e = rows.entry(r);
  points.append(list, e.get(kIndex), e.get(kRetentionTime), intensity, base_x);
}

nb::list chromatogram(DADAnalysis& a, nb::handle window) {
  nb::list out;
  SpectrumRows rows(a.spectrum_index_list, {});
  RowSource spectra(rows, timed(rows), a.reader, ProtocolRead::kAbsorbance, wavelengths(a));
  const size_t n = spectra.rows().size();
  if (n == 0) return out;  // the window is not even looked at
  const ValueRange w = range_of(window);
  std::vector<double> mean(n), base_x(n);
  const double lowest = -float_info_max();
  if (spectra.native()) {
    nb::gil_scoped_release release;
    analysis::window_means(spectra.source(), w.min, w.max, lowest, mean.data(), base_x.data());
  } else {
    analysis::window_means(spectra.source(), w.min, w.max, lowest, mean.data(), base_x.data());
  }
  PointMaker points;
  for (size_t s = 0; s < n; ++s)
    append_point(points, out, rows, spectra.rows()[s], nb::float_(mean[s]), nb::float_(base_x[s]));
  return out;
}

nb::object max_plot(DADAnalysis& a, nb::handle window, double tolerance) {
  ValueRange w = range_of(window);
  nb::object range = qual_name("ValueRange")(w.min - tolerance, w.max + tolerance);
  nb::object xic_info = qual_name("XicInfo").attr("_XicInfo__create_instance")(range);
  nb::list xic_arr;
  xic_arr.append(xic_info);
  nb::object result = xic_info.attr("_XicInfo__xic");
  SpectrumRows rows(a.spectrum_index_list, {});
  // The package's own XicInfo: the widened window's points are taken
  // straight from the decoded spectrum when the reader is the package's too.
  RowSource spectra(rows, timed(rows), a.reader, ProtocolRead::kMultipleXic, wavelengths(a),
                    xic_arr, exact<XicInfoRecord>(xic_info) != nullptr);
  const ValueRange wide = range_of(range);
  const size_t n = spectra.rows().size();
  std::vector<analysis::MaxPlotValue> values(n);
  const double lowest = -float_info_max();
  if (spectra.native()) {
    nb::gil_scoped_release release;
    analysis::max_plot_values(spectra.source(), wide.min, wide.max, w.min, w.max, tolerance, lowest,
                              values.data());
  } else {
    analysis::max_plot_values(spectra.source(), wide.min, wide.max, w.min, w.max, tolerance, lowest,
                              values.data());
  }
  PointMaker points;
  for (size_t s = 0; s < n; ++s) {
    const analysis::MaxPlotValue& v = values[s];
    const size_t r = spectra.rows()[s];
    if (!v.found)
      append_point(points, result, rows, r, nb::int_(0), nb::int_(-1));
    else if (v.count > 0)
      append_point(points, result, rows, r, nb::float_(v.mean), nb::float_(v.base_x));
    else
      append_point(points, result, rows, r, nb::int_(0), nb::float_(v.base_x));
  }
  return result;
}

nb::str analysis_text(DADAnalysis& a) {
  nb::str s("[{}] {} spectra");
  return nb::str(s.format(a.index, spectra_count(a)));
}

}  // namespace

void register_dad_analysis(nb::module_& m) {
  nb::class_<DADAnalysis> cls(
      m, "DADAnalysis",
      "One diode-array analysis: absorbance spectra over a common wavelength array, the "
      "chromatogram of a wavelength window and the max plot.",
      nb::type_slots(gc_slots<DADAnalysis, true>()));
  def_classmethod(
      cls, "_DADAnalysis__create_instance",
      [](nb::handle c, nb::object function_index, nb::object index) {
        nb::object o = make_instance<DADAnalysis>(c);
        auto* a = nb::inst_ptr<DADAnalysis>(o);
        a->function_index = function_index;
        a->index = index;
        a->reader = function_index.attr("_FunctionIndex__reader");
        a->spectrum_index_list =
            read_spectrum_index_list(a->reader, function_index.attr("_FunctionIndex__position"));
        return o;
      },
      nb::arg("cls"), "function_index"_a.none(), "index"_a.none());
  cls.def_prop_ro("_DADAnalysis__spectrum_index_list",
                  [](DADAnalysis& a) { return a.spectrum_index_list; });
  cls.def_prop_ro("_DADAnalysis__function_index", [](DADAnalysis& a) { return a.function_index; });
  cls.def_prop_ro("_DADAnalysis__reader", [](DADAnalysis& a) { return a.reader; });
  cls.def_prop_ro(
      "index", [](DADAnalysis& a) { return a.index; },
      "Position among the measurement's diode-array analyses.");
  cls.def_prop_ro(
      "supplemental_properties",
      [](DADAnalysis& a) {
        return qual_description(a).attr("_QualDescription__supplemental_properties");
      },
      "The function's supplemental properties (dict).");
  cls.def("get_spectra_count", &spectra_count, "Number of spectra.");
  cls.def("get_spectrum", &get_spectrum, "index"_a.none(),
          "A new DADSpectrum for the spectrum at `index` (0 to count - 1).");
  cls.def(
      "find_nearest_spectrum",
      [](DADAnalysis& a, nb::handle retention_time) {
        return get_spectrum(a, nb::int_(nearest_spectrum(a.spectrum_index_list, retention_time)));
      },
      "retention_time"_a.none(),
      "The spectrum whose retention time is nearest (the lower index on a tie).");
  cls.def("get_chromatogram", &chromatogram, "extract_wavelength_range"_a.none(),
          "Mean absorbance over a wavelength window for every spectrum with a retention time, "
          "with the wavelength of the highest absorbance in the window. Windows outside a "
          "spectrum give (0.0, -1.0).");
  cls.def(
      "get_max_plot",
      [](DADAnalysis& a, nb::handle window, nb::handle tolerance) {
        double t = number(tolerance);
        return max_plot(a, window, t);
      },
      "extract_wavelength_range"_a.none(), "wavelength_tolerance"_a.none(),
      "For every spectrum with a retention time: the wavelength of the highest absorbance in "
      "the window and the mean absorbance within the tolerance of it; (0, -1) when no point "
      "lies in the window.");
  cls.def("__str__", &analysis_text).def("__repr__", &analysis_text);
  add_dad_analysis_arrays(cls);
}

}  // namespace vorn::py
