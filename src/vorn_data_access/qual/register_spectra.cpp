#include <nanobind/nanobind.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <type_traits>
#include <vector>

#include "../_glue/display.hpp"
#include "../_glue/gc.hpp"
#include "../_glue/numpy_out.hpp"
#include "../_glue/point_list.hpp"
#include "../_glue/python.hpp"
#include "../_glue/reader.hpp"
#include "../_glue/xic_fill.hpp"
#include "qual.hpp"
#include "record_access.hpp"
#include "spectrum_reads.hpp"

namespace nb = nanobind;
using namespace nb::literals;

namespace vorn::py {
namespace {

nb::object spectrum_field(nb::handle spectrum_index, int field) {
  return SpectrumEntry(spectrum_index).get(field);
}

nb::object spectrum_detail(nb::handle spectrum_index, int field) {
  SpectrumEntry entry(spectrum_index);
  if (entry.native()) return entry.get(field);
  return nb::getattr(
      entry.description(),
      (std::string("_InternalSpectrumDescription__") + kSpectrumFieldNames[field]).c_str(),
      nb::none());
}

// A description field's type as a Spectrum property shows it in the stubs.
template <typename T>
constexpr const char* stub_type(std::optional<T> SpectrumDescription::*) {
  if constexpr (std::is_same_v<T, int64_t>)
    return "int | None";
  else if constexpr (std::is_same_v<T, double>)
    return "float | None";
  else if constexpr (std::is_same_v<T, std::string>)
    return "str | None";
  else if constexpr (std::is_same_v<T, std::vector<int64_t>>)
    return "list[int] | None";
  else
    return "typing.Any";
}

template <typename T>
nb::str spectrum_text(nb::handle self) {
  nb::object points = self.attr("get_spectrum_points")();
  Py_ssize_t n = PyObject_Length(points.ptr());
  if (n < 0) throw nb::python_error();
  nb::str s("[{}] {} points");
  return nb::str(s.format(self.attr("index"), n));
}

// The x or intensity values of the spectrum's (cached) points as a read-only
// numpy array: a view of the package's own point list at its stored
// precision, a float64 copy of any other sequence of points.
nb::object point_values(nb::handle self, bool x) {
  nb::object points = self.attr("get_spectrum_points")();
  if (exact<SpectrumPointList>(points)) return points.attr(x ? "x_array" : "intensity_array");
  std::vector<double> values;
  for (nb::handle p : points) values.push_back(number(p.attr(x ? "x" : "intensity")));
  NumpyOut<double> out({values.size()});
  std::copy(values.begin(), values.end(), out.data());
  nb::object array = out.array();
  array.attr("flags").attr("writeable") = false;
  return array;
}

}  // namespace

void register_spectra(nb::module_& m) {
  using R = SpectrumField;

  nb::class_<Spectrum> spectrum(
      m, "Spectrum",
      "One mass spectrum of a QualAnalysis. Its metadata read through to the spectrum's "
      "description; its points are read on first request and kept.",
      nb::type_slots(gc_slots<Spectrum, true>()));
  def_classmethod(
      spectrum, "_Spectrum__create_instance",
      [](nb::handle cls, nb::object spectrum_index, nb::object index) {
        return make_instance<Spectrum>(cls, spectrum_index, index, nb::none());
      },
      nb::arg("cls"), "spectrum_index"_a.none(), "index"_a.none());
  spectrum.def_prop_ro("index", [](Spectrum& s) { return s.index; }, "Position in the analysis.");
  struct Property {
    const char* name;
    int field;
    const char* doc;
  };
  static const Property properties[] = {
      {"acquisition_condition", R::kAcquisitionCondition,
       "The AcquisitionCondition the analysis attached."},
      {"precursor_index", R::kPrecursorIndex, "Index of the precursor spectrum, or None."},
      {"retention_time", R::kRetentionTime, "Retention time in minutes, or None."},
      {"product_indices", R::kProductIndices, "Indexes of product spectra, or None."},
      {"spectrum_type", R::kSpectrumType, "A SpectrumTypes member, or None."},
      {"supplemental_properties", R::kSupplementalProperties, "Further properties (dict)."},
  };
  for (const Property& p : properties)
    spectrum.def_prop_ro(
        p.name, [&p](Spectrum& s) { return spectrum_field(s.spectrum_index, p.field); }, p.doc);
  // Precursor and scan details that files of format 1.1 on store (the fields
  // with a docstring in VORN_SPECTRUM_FIELD_BINDINGS); None in older files,
  // and for a description of another kind that lacks the field.
  struct Detail {
    Property property;
    const char* type;  // in the stub
  };
  static const Detail details[] = {
#define VORN_FIELD(member, constant, computed, doc) \
  {{#member, R::constant, doc}, stub_type(&SpectrumDescription::member)},
      VORN_SPECTRUM_FIELD_BINDINGS(VORN_FIELD)
#undef VORN_FIELD
  };
  static std::vector<std::string> signatures;
  signatures.reserve(std::size(details));
  nb::list detail_names;
  for (const Detail& d : details) {
    const Property& p = d.property;
    if (!p.doc) continue;
    signatures.push_back(std::string("def ") + p.name + "(self) -> " + d.type);
    spectrum.def_prop_ro(
        p.name, [&p](Spectrum& s) { return spectrum_detail(s.spectrum_index, p.field); },
        nb::sig(signatures.back().c_str()), p.doc);
    detail_names.append(p.name);
  }
  // Their names, for the tables of spectra (frames.py), in this order.
  m.attr("_SPECTRUM_DETAILS") = nb::tuple(detail_names);
  spectrum.def(
      "get_spectrum_points",
      [](Spectrum& s) {
        if (is_none_eq(s.points)) s.points = read_points_at(s.spectrum_index, false);
        return s.points;
      },
      "The spectrum's points (read once, then kept).");
  spectrum.def(
      "get_profile_spectrum_points",
      [](Spectrum& s) {
        nb::object position = spectrum_profile_position(s.spectrum_index);
        if (eq(position, nb::int_(0))) raise_exception("No profile spectrum");
        return read_points_at(s.spectrum_index, true);
      },
      "The profile points, read anew on every call.");
  spectrum.def("__str__", &spectrum_text<Spectrum>).def("__repr__", &spectrum_text<Spectrum>);
  spectrum.def_prop_ro(
      "mz", [](nb::handle self) { return point_values(self, true); },
      nb::sig("def mz(self) -> numpy.typing.NDArray[numpy.floating[typing.Any]]"),
      "The m/z values of the points as a read-only numpy array, at their stored precision "
      "(float64 or float32), without a copy.");
  spectrum.def_prop_ro(
      "intensity", [](nb::handle self) { return point_values(self, false); },
      nb::sig("def intensity(self) -> numpy.typing.NDArray[numpy.floating[typing.Any]]"),
      "The intensities of the points as a read-only numpy array, at their stored precision, "
      "without a copy.");
  def_displays(spectrum);

  nb::class_<DADSpectrum> dad(
      m, "DADSpectrum",
      "One absorbance spectrum of a DADAnalysis; x is the wavelength. Points are read on first "
      "request and kept.",
      nb::type_slots(gc_slots<DADSpectrum, true>()));
  def_classmethod(
      dad, "_DADSpectrum__create_instance",
      [](nb::handle cls, nb::object spectrum_index, nb::object index, nb::object wavelength_arr) {
        return make_instance<DADSpectrum>(cls, spectrum_index, index, wavelength_arr, nb::none());
      },
      nb::arg("cls"), "spectrum_index"_a.none(), "index"_a.none(), "wavelength_arr"_a.none());
  dad.def_prop_ro("index", [](DADSpectrum& s) { return s.index; }, "Position in the analysis.");
  dad.def_prop_ro(
      "retention_time",
      [](DADSpectrum& s) { return spectrum_field(s.spectrum_index, R::kRetentionTime); },
      "Retention time in minutes, or None.");
  dad.def_prop_ro(
      "supplemental_properties",
      [](DADSpectrum& s) { return spectrum_field(s.spectrum_index, R::kSupplementalProperties); },
      "Further properties (dict).");
  dad.def(
      "get_spectrum_points",
      [](DADSpectrum& s) {
        if (is_none_eq(s.points)) s.points = read_dad_points_at(s.spectrum_index, s.wavelength_arr);
        return s.points;
      },
      "The absorbance points (read once, then kept).");
  dad.def("__str__", &spectrum_text<DADSpectrum>).def("__repr__", &spectrum_text<DADSpectrum>);
  dad.def_prop_ro(
      "wavelengths", [](nb::handle self) { return point_values(self, true); },
      nb::sig("def wavelengths(self) -> numpy.typing.NDArray[numpy.floating[typing.Any]]"),
      "The wavelengths of the points as a read-only numpy array, without a copy.");
  dad.def_prop_ro(
      "absorbance", [](nb::handle self) { return point_values(self, false); },
      nb::sig("def absorbance(self) -> numpy.typing.NDArray[numpy.floating[typing.Any]]"),
      "The absorbances of the points as a read-only numpy array, without a copy.");
  def_displays(dad);
}

}  // namespace vorn::py
