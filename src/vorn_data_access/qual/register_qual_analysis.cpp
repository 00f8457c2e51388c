#include <nanobind/nanobind.h>

#include <optional>
#include <unordered_map>

#include "../_glue/gc.hpp"
#include "../_glue/python.hpp"
#include "../_glue/reader.hpp"
#include "../_glue/records.hpp"
#include "analysis_adapter.hpp"
#include "analysis_read.hpp"
#include "chromatogram.hpp"
#include "qual.hpp"
#include "record_access.hpp"
#include "vorn_core/analysis/selection.hpp"
#include "xic.hpp"

namespace nb = nanobind;
using namespace nb::literals;

namespace vorn::py {
namespace {

using R = SpectrumField;

nb::object qual_description(nb::handle function_index) {
  return function_index.attr("_FunctionIndex__function_description")
      .attr("_FunctionDescription__qual_description");
}

// Orders distinct conditions: MS level, polarity value (a missing polarity
// last), then no collision energy before any, then ascending energy.
nb::object condition_sort_key(nb::handle c) {
  nb::object polarity = c.attr("polarity");
  nb::object polarity_key =
      is_none_eq(polarity) ? nb::make_tuple(1, 0) : nb::make_tuple(0, polarity.attr("value"));
  nb::object energy = c.attr("collision_energy");
  return nb::make_tuple(c.attr("ms_level"), polarity_key,
                        nb::make_tuple(nb::bool_(!energy.is_none()), energy));
}

void attach_conditions(QualAnalysis& a) {
  nb::object stored = qual_description(a.function_index)
                          .attr("_QualDescription__unique_acquisition_condition_list");
  nb::handle list = a.spectrum_index_list;
  const Py_ssize_t n = PyObject_Length(list.ptr());
  if (n < 0) throw nb::python_error();
  if (is_none_eq(stored)) {
    // Equal conditions collapse to the first one seen; a dict keeps that order.
    nb::dict seen;
    for (Py_ssize_t i = 0; i < n; ++i) {
      SpectrumEntry e(list[i]);
      nb::object c = make_acquisition_condition(e.description());
      e.set(R::kAcquisitionCondition, c);
      if (PyDict_SetDefault(seen.ptr(), c.ptr(), Py_None) == nullptr) throw nb::python_error();
    }
    nb::list unique = nb::steal<nb::list>(PySequence_List(seen.ptr()));
    unique.attr("sort")("key"_a = nb::cpp_function(&condition_sort_key));
    a.unique_conditions = unique;
    return;
  }
  nb::list unique;
  for (nb::handle entry : stored) unique.append(make_acquisition_condition(entry));
  const Py_ssize_t k = static_cast<Py_ssize_t>(unique.size());
  for (Py_ssize_t i = 0; i < n; ++i) {
    SpectrumEntry e(list[i]);
    SpectrumDescriptionObject* native = e.native();
    const SpectrumDescription* row = native ? decoded_row(native) : nullptr;
    if (row && !native->slots[R::kAcquisitionConditionIndex]) {
      const auto& index = row->acquisition_condition_index;
      if (!index || static_cast<Py_ssize_t>(*index) >= k)
        throw FormatError("spectrum " + std::to_string(i) + " names acquisition condition " +
                              (index ? std::to_string(*index) : std::string("None")) + " of " +
                              std::to_string(k) + " stored",
                          0);
      set_description_field(native, R::kAcquisitionCondition,
                            PyList_GET_ITEM(unique.ptr(), static_cast<Py_ssize_t>(*index)));
      continue;
    }
    nb::object entry =
        nb::steal(PyObject_GetItem(unique.ptr(), e.get(R::kAcquisitionConditionIndex).ptr()));
    if (!entry.is_valid()) throw nb::python_error();
    e.set(R::kAcquisitionCondition, entry);
  }
  a.unique_conditions = unique;
}

void read_analysis(QualAnalysis& a) {
  a.spectrum_index_list =
      read_spectrum_index_list(a.reader, a.function_index.attr("_FunctionIndex__position"));
  // A condition per distinct condition and per spectrum: as many objects as
  // the records themselves, none garbage until the analysis is built.
  std::optional<CollectorPause> pause;
  if (exact<VdpFileReader>(a.reader)) pause.emplace();
  attach_conditions(a);
}

Py_ssize_t spectra_count(const QualAnalysis& a) {
  Py_ssize_t n = PyObject_Length(a.spectrum_index_list.ptr());
  if (n < 0) throw nb::python_error();
  return n;
}

nb::object get_spectrum(QualAnalysis& a, nb::handle index) {
  if (lt(index, nb::int_(0)) || ge(index, nb::int_(spectra_count(a))))
    raise_exception("Index out of range");
  return qual_name("Spectrum")
      .attr("_Spectrum__create_instance")(a.spectrum_index_list[index], index);
}

// TIC and BPC: spectra with a retention time, the condition and (when given)
// the retention-time range, in spectrum order; no spectrum data is read.
nb::list summary_chromatogram(QualAnalysis& a, nb::handle condition, nb::handle rt_range,
                              int intensity_field) {
  const ValueRange* native_range = exact<ValueRange>(rt_range);
  const bool limited = !is_none_eq(rt_range);
  nb::list out;
  PointMaker points;
  const SpectrumRows* rows = nullptr;
  // The spectrum's condition on the left, so its equality decides.
  analysis::RowChooser chooser([&](uint32_t id) { return eq(rows->condition(id), condition); });
  // Filled a row at a time, each chosen spectrum's point made while its
  // record is at hand: one walk over the records.
  SpectrumRows filled(a.spectrum_index_list, {.conditions = true, .records = false},
                      [&](const SpectrumRows& at, size_t r, const SpectrumEntry& e) {
                        rows = &at;
                        const bool chosen = chooser.chosen(at.table, r, [&](size_t) {
                          if (!limited) return true;
                          if (native_range && at.exact_time(r))
                            return native_range->contains(at.table.rt[r]);
                          return range_contains(rt_range, e.get(kRetentionTime));
                        });
                        if (chosen)
                          points.append(out, e.get(kIndex), e.get(kRetentionTime),
                                        e.get(intensity_field), e.get(kBasePeakMz));
                      });
  return out;
}

nb::str analysis_text(QualAnalysis& a) {
  Py_ssize_t conditions = PyObject_Length(a.unique_conditions.ptr());
  if (conditions < 0) throw nb::python_error();
  nb::str s("[{}] {} spectra, {} spectrum conditions");
  return nb::str(s.format(a.index, spectra_count(a), conditions));
}

}  // namespace

void register_qual_analysis(nb::module_& m) {
  nb::class_<QualAnalysis> cls(
      m, "QualAnalysis",
      "One mass-spectrometry analysis (acquisition function): its spectra, their acquisition "
      "conditions and chromatograms (TIC, BPC, XIC).",
      nb::type_slots(gc_slots<QualAnalysis, true>()));
  def_classmethod(
      cls, "_QualAnalysis__create_instance",
      [](nb::handle c, nb::object function_index, nb::object index) {
        nb::object o = make_instance<QualAnalysis>(c);
        auto* a = nb::inst_ptr<QualAnalysis>(o);
        a->function_index = function_index;
        a->index = index;
        a->reader = function_index.attr("_FunctionIndex__reader");
        read_analysis(*a);
        return o;
      },
      nb::arg("cls"), "function_index"_a.none(), "index"_a.none());
  cls.def("_QualAnalysis__read", &read_analysis);
  cls.def_prop_ro("_QualAnalysis__spectrum_index_list",
                  [](QualAnalysis& a) { return a.spectrum_index_list; });
  cls.def_prop_ro("_QualAnalysis__function_index",
                  [](QualAnalysis& a) { return a.function_index; });
  cls.def_prop_ro("_QualAnalysis__reader", [](QualAnalysis& a) { return a.reader; });
  cls.def_prop_ro(
      "index", [](QualAnalysis& a) { return a.index; },
      "Position among the measurement's MS analyses.");
  cls.def_prop_ro(
      "supplemental_properties",
      [](QualAnalysis& a) {
        return qual_description(a.function_index).attr("_QualDescription__supplemental_properties");
      },
      "The function's supplemental properties (dict).");
  cls.def_prop_ro(
      "unique_acquisition_conditions", [](QualAnalysis& a) { return a.unique_conditions; },
      "The distinct acquisition conditions (the analysis's own list).");
  cls.def("get_spectra_count", &spectra_count, "Number of spectra.");
  cls.def("get_spectrum", &get_spectrum, "index"_a.none(),
          "A new Spectrum for the spectrum at `index` (0 to count - 1).");
  cls.def(
      "find_nearest_spectrum",
      [](QualAnalysis& a, nb::handle retention_time) {
        return get_spectrum(a, nb::int_(nearest_spectrum(a.spectrum_index_list, retention_time)));
      },
      "retention_time"_a.none(),
      "The spectrum whose retention time is nearest (the lower index on a tie).");
  cls.def(
      "get_tic",
      [](QualAnalysis& a, nb::handle condition, nb::handle rt_range) {
        return summary_chromatogram(a, condition, rt_range, R::kCurrentTotalIon);
      },
      "acquisition_condition"_a.none(), "retention_time_range"_a.none() = nb::none(),
      "Total ion chromatogram of one acquisition condition, optionally within a retention-time "
      "range; built from the stored totals without reading spectra.");
  cls.def(
      "get_bpc",
      [](QualAnalysis& a, nb::handle condition, nb::handle rt_range) {
        return summary_chromatogram(a, condition, rt_range, R::kBasePeakIntensity);
      },
      "acquisition_condition"_a.none(), "retention_time_range"_a.none() = nb::none(),
      "Base peak chromatogram of one acquisition condition, optionally within a retention-time "
      "range.");
  cls.def(
      "get_multiple_xic",
      [](QualAnalysis& a, nb::handle options) { return multiple_xic(a, options); },
      "chromatogram_filter_options"_a.none(),
      "Several extracted-ion chromatograms in one pass over the spectra: one list of points per "
      "ChromatogramFilterOption, in request order. Each spectrum is read once, and only the part "
      "of it that the windows need.");
  cls.def(
      "get_xic",
      [](QualAnalysis& a, nb::handle option) {
        if (is_none_eq(option)) raise_exception("chromatogram_filter_option is null");
        nb::list one;
        one.append(option);
        return nb::object(multiple_xic(a, one)[0]);
      },
      "chromatogram_filter_option"_a.none(), "One extracted-ion chromatogram.");
  cls.def("__str__", &analysis_text).def("__repr__", &analysis_text);
  add_qual_analysis_arrays(cls);
}

}  // namespace vorn::py
