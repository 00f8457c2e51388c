#include <nanobind/nanobind.h>

#include <vector>

#include "../_glue/point_list.hpp"
#include "../_glue/python.hpp"
#include "../_glue/reader.hpp"
#include "../_glue/records.hpp"
#include "../_glue/xic_fill.hpp"
#include "analysis_read.hpp"
#include "chromatogram.hpp"
#include "qual.hpp"
#include "record_access.hpp"
#include "vorn_core/analysis/absorbance.hpp"
#include "vorn_core/spectrum_block.hpp"

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
struct Timed {
  nb::object index, rt;
  nb::handle record;  // its SpectrumIndex (held by the analysis's list)
};

std::vector<Timed> timed_spectra(const DADAnalysis& a) {
  std::vector<Timed> out;
  for (nb::handle item : a.spectrum_index_list) {
    SpectrumEntry e(item);
    nb::object rt = e.get(R::kRetentionTime);
    if (is_none_eq(rt)) continue;
    out.push_back({e.get(R::kIndex), rt, e.record()});
  }
  return out;
}

using analysis::DadValue;
using analysis::max_plot_value;
using analysis::MaxPlotValue;
using analysis::window_mean;
// Absorbance points of a spectrum as two arrays of doubles.
using Points = analysis::AbsorbanceSpectrum;

void append_arrays(Points& p, const FloatArray& x, const FloatArray& intensity) {
  for (size_t i = 0; i < intensity.size(); ++i) {
    p.x.push_back(x[i]);
    p.intensity.push_back(intensity[i]);
  }
}

Points points_of(nb::handle list) {
  Points p;
  if (const SpectrumPointList* l = exact<SpectrumPointList>(list)) {
    append_arrays(p, l->x, l->intensity);
    return p;
  }
  for (nb::handle point : list) {
    p.x.push_back(number(point.attr("x")));
    p.intensity.push_back(number(point.attr("intensity")));
  }
  return p;
}

// Decodes a spectrum of the package's own file, x from the wavelengths when
// the spectrum stores none.
Points decode(const MappedFile& file, int64_t position, const std::vector<double>* wl) {
  Points p;
  analysis::decode_absorbance(file.bytes(), position, wl, p);
  return p;
}

// What the native paths need: the file and the wavelengths as doubles.
struct NativeSource {
  std::shared_ptr<const MappedFile> file;
  std::vector<double> wl;
  bool has_wl = false;
};

bool native_source(const DADAnalysis& a, nb::handle wavelength_arr, NativeSource& out) {
  VdpFileReader* reader = exact<VdpFileReader>(a.reader);
  if (!reader) return false;
  out.file = reader->get().file();
  out.has_wl = !is_none_eq(wavelength_arr);
  if (out.has_wl)
    for (nb::handle v : wavelength_arr) out.wl.push_back(number(v));
  return true;
}

nb::list chromatogram(DADAnalysis& a, nb::handle window) {
  nb::list out;
  std::vector<Timed> spectra = timed_spectra(a);
  if (spectra.empty()) return out;
  nb::object wl = wavelengths(a);
  const double lowest = -float_info_max();
  std::vector<DadValue> values(spectra.size());
  NativeSource src;
  if (native_source(a, wl, src)) {
    std::vector<int64_t> positions;
    for (const Timed& t : spectra) positions.push_back(SpectrumEntry(t.record).position_value());
    ValueRange w = range_of(window);
    nb::gil_scoped_release release;
    for (size_t s = 0; s < spectra.size(); ++s) {
      Points p = decode(*src.file, positions[s], src.has_wl ? &src.wl : nullptr);
      values[s] = window_mean(p.x.data(), p.intensity.data(), p.x.size(), w.min, w.max, lowest);
    }
  } else {
    ValueRange w{};
    for (size_t s = 0; s < spectra.size(); ++s) {
      a.reader.attr("_VdpFileReader__set_buffer")(spectrum_position(spectra[s].record));
      nb::object list = is_none_eq(wl) ? a.reader.attr("_VdpFileReader__read_spectrum")()
                                       : a.reader.attr("_VdpFileReader__read_dad_spectrum")(wl);
      if (s == 0) w = range_of(window);  // read once a spectrum has been read
      Points p = points_of(list);
      values[s] = window_mean(p.x.data(), p.intensity.data(), p.x.size(), w.min, w.max, lowest);
    }
  }
  PointMaker points;
  for (size_t s = 0; s < spectra.size(); ++s)
    points.append(out, spectra[s].index, spectra[s].rt, nb::float_(values[s].intensity),
                  nb::float_(values[s].base_x));
  return out;
}

void append_max_plot_point(const PointMaker& points, nb::handle list, const Timed& t,
                           const MaxPlotValue& v) {
  if (!v.found)
    points.append(list, t.index, t.rt, nb::int_(0), nb::int_(-1));
  else if (v.count > 0)
    points.append(list, t.index, t.rt, nb::float_(v.mean), nb::float_(v.base_x));
  else
    points.append(list, t.index, t.rt, nb::int_(0), nb::float_(v.base_x));
}

nb::object max_plot(DADAnalysis& a, nb::handle window, double tolerance) {
  ValueRange w = range_of(window);
  nb::object range = qual_name("ValueRange")(w.min - tolerance, w.max + tolerance);
  nb::object xic_info = qual_name("XicInfo").attr("_XicInfo__create_instance")(range);
  nb::list xic_arr;
  xic_arr.append(xic_info);
  nb::object result = xic_info.attr("_XicInfo__xic");
  std::vector<Timed> spectra = timed_spectra(a);
  nb::object wl = wavelengths(a);
  const double lowest = -float_info_max();
  PointMaker points;
  NativeSource src;
  // The package's own reader and XicInfo: the widened window's points are
  // taken straight from the decoded spectrum.
  if (exact<XicInfoRecord>(xic_info) && native_source(a, wl, src)) {
    const ValueRange wide = range_of(range);
    std::vector<int64_t> positions;
    for (const Timed& t : spectra) positions.push_back(SpectrumEntry(t.record).position_value());
    std::vector<MaxPlotValue> values(spectra.size());
    {
      nb::gil_scoped_release release;
      Points inside;
      for (size_t s = 0; s < spectra.size(); ++s) {
        Points p = decode(*src.file, positions[s], src.has_wl ? &src.wl : nullptr);
        inside.x.clear();
        inside.intensity.clear();
        for (size_t i = 0; i < p.x.size(); ++i)
          if (wide.min <= p.x[i] && p.x[i] <= wide.max) {
            inside.x.push_back(p.x[i]);
            inside.intensity.push_back(p.intensity[i]);
          }
        values[s] = max_plot_value(inside.x.data(), inside.intensity.data(), inside.x.size(),
                                   w.min, w.max, tolerance, lowest);
      }
    }
    for (size_t s = 0; s < spectra.size(); ++s)
      append_max_plot_point(points, result, spectra[s], values[s]);
    return result;
  }
  for (const Timed& t : spectra) {
    a.reader.attr("_VdpFileReader__set_buffer")(spectrum_position(t.record));
    for (nb::handle info : xic_arr) {
      info.attr("_XicInfo__is_break_to_read") = nb::bool_(false);
      info.attr("_XicInfo__spectrum_point").attr("clear")();
    }
    if (is_none_eq(wl))
      a.reader.attr("_VdpFileReader__read_spectrum_for_multiple_xic")(xic_arr);
    else
      a.reader.attr("_VdpFileReader__read_dad_spectrum_for_multiple_xic")(xic_arr, wl);
    for (nb::handle info : xic_arr) {
      Points p = points_of(info.attr("_XicInfo__spectrum_point"));
      MaxPlotValue v = max_plot_value(p.x.data(), p.intensity.data(), p.x.size(), w.min, w.max,
                                      tolerance, lowest);
      append_max_plot_point(points, info.attr("_XicInfo__xic"), t, v);
    }
  }
  return nb::object(xic_arr[0].attr("_XicInfo__xic"));
}

nb::str analysis_text(DADAnalysis& a) {
  nb::str s("[{}] {} spectra");
  return nb::str(s.format(a.index, spectra_count(a)));
}

}  // namespace

void register_dad_analysis(nb::module_& m) {
  static PyType_Slot refuse[] = {{Py_tp_new, reinterpret_cast<void*>(refuse_new)}, {0, nullptr}};
  nb::class_<DADAnalysis> cls(
      m, "DADAnalysis",
      "One diode-array analysis: absorbance spectra over a common wavelength array, the "
      "chromatogram of a wavelength window and the max plot.",
      nb::type_slots(refuse));
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
      nb::arg("cls"), "function_index"_a, "index"_a);
  cls.def_prop_ro("_DADAnalysis__spectrum_index_list",
                  [](DADAnalysis& a) { return a.spectrum_index_list; });
  cls.def_prop_ro("_DADAnalysis__function_index", [](DADAnalysis& a) { return a.function_index; });
  cls.def_prop_ro("_DADAnalysis__reader", [](DADAnalysis& a) { return a.reader; });
  cls.def_prop_ro("index", [](DADAnalysis& a) { return a.index; },
                  "Position among the measurement's diode-array analyses.");
  cls.def_prop_ro(
      "supplemental_properties",
      [](DADAnalysis& a) { return qual_description(a).attr("_QualDescription__supplemental_properties"); },
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
