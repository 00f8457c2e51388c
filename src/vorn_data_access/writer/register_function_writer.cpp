#include <nanobind/nanobind.h>
#include <nanobind/ndarray.h>

#include <cmath>
#include <string>

#include "../_glue/gc.hpp"
#include "../_glue/python.hpp"
#include "vorn_core/analysis/peak_summary.hpp"
#include "writer.hpp"
#include "writer_convert.hpp"

namespace nb = nanobind;
using namespace nb::literals;

namespace vorn::py {
namespace {

// A 1-D float32/float64 array viewed without copying when it already is one,
// otherwise converted to float64 by numpy; `keep` holds what the span points to.
struct ArrayView {
  nb::object keep;
  FloatSpan span;
};

ArrayView float_view(nb::handle h, const char* what) {
  nb::object arr = nb::borrow(h);
  for (int attempt = 0; attempt < 2; ++attempt) {
    nb::ndarray<nb::ro> a;
    if (nb::try_cast(arr, a, false) && a.ndim() == 1 && (a.shape(0) <= 1 || a.stride(0) == 1)) {
      bool f32 = a.dtype() == nb::dtype<float>(), f64 = a.dtype() == nb::dtype<double>();
      if (f32 || f64) return {arr, FloatSpan{a.data(), a.shape(0), f32}};
    }
    arr = nb::module_::import_("numpy").attr("ascontiguousarray")(h, "dtype"_a = "float64");
  }
  throw nb::value_error((std::string(what) + " must be a one-dimensional array of numbers").c_str());
}

std::optional<std::vector<int64_t>> int_list(nb::handle h, const char* field) {
  if (absent(h)) return std::nullopt;
  std::vector<int64_t> v;
  for (nb::handle i : h) {
    if (!PyLong_Check(i.ptr()) && !PyObject_HasAttrString(i.ptr(), "__index__"))
      throw nb::type_error((std::string(field) + " must be a list of integers or None").c_str());
    v.push_back(nb::cast<int64_t>(i));
  }
  return v;
}

}  // namespace

void register_function_writer(nb::module_& m) {
  nb::object auto_value = m.attr("AUTO");
  nb::class_<FunctionWriter>(m, "FunctionWriter", "Adds spectra (or traces) to one function.",
                             nb::type_slots(gc_slots<FunctionWriter>()))
      .def_ro("index", &FunctionWriter::id, "Position of the function in the file.")
      .def(
          "add_spectrum",
          [auto_value](FunctionWriter& f, nb::handle x, nb::handle intensity,
                       nb::handle retention_time, nb::handle acquisition_condition_index,
                       nb::handle ms_level, nb::handle polarity, nb::handle collision_energy,
                       nb::handle cone_voltage, nb::handle mass_range, nb::handle precursor_range,
                       nb::handle precursor_value, nb::handle precursor_index,
                       nb::handle product_indices, nb::handle spectrum_type,
                       nb::handle is_profile_spectrum_measured, nb::handle current_total_ion,
                       nb::handle base_peak_mz, nb::handle base_peak_intensity,
                       nb::handle supplemental_properties, nb::handle profile,
                       nb::handle vendor_condition, nb::handle triple_q_scan_condition,
                       nb::handle precursor_charge, nb::handle possible_charge_states,
                       nb::handle precursor_intensity, nb::handle activation_method,
                       nb::handle isolation_window_target, nb::handle isolation_window_lower_offset,
                       nb::handle isolation_window_upper_offset, nb::handle ion_injection_time) {
            auto& w = nb::cast<VornWriter&>(f.writer);
            SpectrumInput in;
            ArrayView xs, is, pxs, pis;
            if (x.is_none()) {
              if (!f.wavelengths)
                throw nb::value_error("x may be None only in a diode-array function with wavelengths");
            } else {
              xs = float_view(x, "x");
              in.x = xs.span;
            }
            is = float_view(intensity, "intensity");
            in.intensity = is.span;
            if (!absent(profile)) {
              if (PySequence_Length(profile.ptr()) != 2)
                throw nb::value_error("profile must be a pair (x, intensity)");
              pxs = float_view(profile[0], "profile x");
              pis = float_view(profile[1], "profile intensity");
              in.profile_x = pxs.span;
              in.profile_intensity = pis.span;
            }
            SpectrumDescription& d = in.description;
            d.retention_time = opt_double(retention_time, "retention_time");
            if (auto v = opt_int(acquisition_condition_index, "acquisition_condition_index")) {
              if (*v < 0 || *v > 0xFFFFFFFFll)
                throw nb::value_error("acquisition_condition_index is out of range");
              d.acquisition_condition_index = static_cast<uint32_t>(*v);
            }
            d.ms_level = opt_int(ms_level, "ms_level");
            d.polarity = opt_enum_value<Polarity>(polarity, "polarity");
            d.collision_energy = opt_double(collision_energy, "collision_energy");
            d.cone_voltage = opt_double(cone_voltage, "cone_voltage");
            d.mass_range = opt_range(mass_range, "mass_range");
            d.precursor_range = opt_range(precursor_range, "precursor_range");
            d.precursor_value = opt_double(precursor_value, "precursor_value");
            d.precursor_index = opt_int(precursor_index, "precursor_index");
            d.product_indices = int_list(product_indices, "product_indices");
            d.spectrum_type = opt_enum_value<SpectrumType>(spectrum_type, "spectrum_type");
            d.is_profile_spectrum_measured = opt_bool(is_profile_spectrum_measured);
            const bool auto_tic = current_total_ion.is(auto_value),
                       auto_mz = base_peak_mz.is(auto_value),
                       auto_int = base_peak_intensity.is(auto_value);
            analysis::fill_peak_summary(d, in.x, in.intensity,
                                        f.wavelengths ? &*f.wavelengths : nullptr,
                                        {auto_tic, auto_mz, auto_int});
            if (!auto_tic) d.current_total_ion = opt_double(current_total_ion, "current_total_ion");
            if (!auto_mz) d.base_peak_mz = opt_double(base_peak_mz, "base_peak_mz");
            if (!auto_int)
              d.base_peak_intensity = opt_double(base_peak_intensity, "base_peak_intensity");
            if (supplemental_properties.is(auto_value))
              d.supplemental_properties = Properties{};
            else if (!supplemental_properties.is_none())
              d.supplemental_properties = properties_from_python(supplemental_properties);
            d.precursor_charge = opt_int(precursor_charge, "precursor_charge");
            d.possible_charge_states = int_list(possible_charge_states, "possible_charge_states");
            d.precursor_intensity = opt_double(precursor_intensity, "precursor_intensity");
            d.activation_method = opt_text(activation_method, "activation_method");
            d.isolation_window_target =
                opt_double(isolation_window_target, "isolation_window_target");
            d.isolation_window_lower_offset =
                opt_double(isolation_window_lower_offset, "isolation_window_lower_offset");
            d.isolation_window_upper_offset =
                opt_double(isolation_window_upper_offset, "isolation_window_upper_offset");
            d.ion_injection_time = opt_double(ion_injection_time, "ion_injection_time");
            in.extras.vendor = vendor_from_dict(vendor_condition);
            in.extras.triple_q = triple_q_from_dict(triple_q_scan_condition);
            ContainerWriter& core = w.get();
            nb::gil_scoped_release release;
            return core.add_spectrum(f.id, in);
          },
          "x"_a.none(), "intensity"_a, nb::kw_only(), "retention_time"_a.none() = nb::none(),
          "acquisition_condition_index"_a.none() = nb::none(), "ms_level"_a.none() = nb::none(),
          "polarity"_a.none() = nb::none(), "collision_energy"_a.none() = nb::none(),
          "cone_voltage"_a.none() = nb::none(), "mass_range"_a.none() = nb::none(),
          "precursor_range"_a.none() = nb::none(), "precursor_value"_a.none() = nb::none(),
          "precursor_index"_a.none() = nb::none(), "product_indices"_a.none() = nb::none(),
          "spectrum_type"_a.none() = nb::none(),
          "is_profile_spectrum_measured"_a.none() = nb::none(),
          "current_total_ion"_a.none() = auto_value, "base_peak_mz"_a.none() = auto_value,
          "base_peak_intensity"_a.none() = auto_value,
          "supplemental_properties"_a.none() = auto_value, "profile"_a.none() = nb::none(),
          "vendor_condition"_a.none() = nb::none(), "triple_q_scan_condition"_a.none() = nb::none(),
          "precursor_charge"_a.none() = nb::none(), "possible_charge_states"_a.none() = nb::none(),
          "precursor_intensity"_a.none() = nb::none(), "activation_method"_a.none() = nb::none(),
          "isolation_window_target"_a.none() = nb::none(),
          "isolation_window_lower_offset"_a.none() = nb::none(),
          "isolation_window_upper_offset"_a.none() = nb::none(),
          "ion_injection_time"_a.none() = nb::none(),
          "Appends a spectrum and returns its index. `x` (ascending) and `intensity` are "
          "float32 or float64 arrays, stored at that precision; `x` is None for a diode-array "
          "function with wavelengths. Description fields are keywords, None for absent; the total "
          "ion current and base peak default to values computed from the points, supplemental "
          "properties to an empty dict. `profile` is an optional (x, intensity) pair. "
          "`vendor_condition` and `triple_q_scan_condition` (dicts) enter the derived "
          "distinct-condition list. The precursor details (charge, possible charge states, "
          "intensity, activation method as PSI-MS term names, isolation window target and "
          "offsets) and the ion injection time in milliseconds are stored from format 1.1 on.");
}

}  // namespace vorn::py
