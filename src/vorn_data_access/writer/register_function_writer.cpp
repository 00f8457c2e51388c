#include <nanobind/nanobind.h>
#include <nanobind/ndarray.h>

#include <cmath>
#include <string>
#include <type_traits>

#include "../_glue/gc.hpp"
#include "../_glue/python.hpp"
#include "../_glue/spectrum_records.hpp"
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
  throw nb::value_error(
      (std::string(what) + " must be a one-dimensional array of numbers").c_str());
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

// A description field from its keyword (VORN_SPECTRUM_FIELD_BINDINGS), by
// the field's type; `computed`: the keyword may be AUTO, which leaves a
// summary of the points to the writer (`computed_here`) and makes the
// properties an empty table.
template <typename T>
void keyword_field(std::optional<T>& out, nb::handle h, const char* name, bool computed,
                   nb::handle auto_value, bool& computed_here) {
  if (computed && h.is(auto_value)) {
    computed_here = true;
    if constexpr (std::is_same_v<T, Properties>) out = Properties{};
    return;
  }
  if constexpr (std::is_same_v<T, double>) {
    out = opt_double(h, name);
  } else if constexpr (std::is_same_v<T, int64_t>) {
    out = opt_int(h, name);
  } else if constexpr (std::is_same_v<T, uint32_t>) {
    if (auto v = opt_int(h, name)) {
      if (*v < 0 || *v > 0xFFFFFFFFll)
        throw nb::value_error((std::string(name) + " is out of range").c_str());
      out = static_cast<uint32_t>(*v);
    }
  } else if constexpr (std::is_enum_v<T>) {
    out = opt_enum_value<T>(h, name);
  } else if constexpr (std::is_same_v<T, Range>) {
    out = opt_range(h, name);
  } else if constexpr (std::is_same_v<T, std::vector<int64_t>>) {
    out = int_list(h, name);
  } else if constexpr (std::is_same_v<T, bool>) {
    out = opt_bool(h);
  } else if constexpr (std::is_same_v<T, std::string>) {
    out = opt_text(h, name);
  } else {
    static_assert(std::is_same_v<T, Properties>, "a keyword for this field's type");
    if (!h.is_none()) out = properties_from_python(h);
  }
}

nb::object keyword_default(bool computed, nb::handle auto_value) {
  return computed ? nb::borrow(auto_value) : nb::none();
}

}  // namespace

void register_function_writer(nb::module_& m) {
  nb::object auto_value = m.attr("AUTO");
  nb::class_<FunctionWriter>(m, "FunctionWriter", "Adds spectra (or traces) to one function.",
                             nb::type_slots(gc_slots<FunctionWriter>()))
      .def_ro("index", &FunctionWriter::id, "Position of the function in the file.")
      .def(
          "add_spectrum",
          [auto_value](
              FunctionWriter& f, nb::handle x,
              nb::handle intensity
#define VORN_FIELD(member, constant, computed, doc) , nb::handle member
                  VORN_SPECTRUM_FIELD_BINDINGS_1_0(VORN_FIELD),
              nb::handle profile, nb::handle vendor_condition,
              nb::handle triple_q_scan_condition VORN_SPECTRUM_FIELD_BINDINGS_1_1_ON(VORN_FIELD)
#undef VORN_FIELD
          ) {
            auto& w = nb::cast<VornWriter&>(f.writer);
            SpectrumInput in;
            ArrayView xs, is, pxs, pis;
            if (x.is_none()) {
              if (!f.wavelengths)
                throw nb::value_error(
                    "x may be None only in a diode-array function with wavelengths");
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
            bool computed_here[kSpectrumFieldCount] = {};
#define VORN_FIELD(member, constant, computed, doc) \
  keyword_field(d.member, member, #member, computed, auto_value, computed_here[constant]);
            VORN_SPECTRUM_FIELD_BINDINGS(VORN_FIELD)
#undef VORN_FIELD
            analysis::fill_peak_summary(
                d, in.x, in.intensity, f.wavelengths ? &*f.wavelengths : nullptr,
                {computed_here[kCurrentTotalIon], computed_here[kBasePeakMz],
                 computed_here[kBasePeakIntensity]});
            in.extras.vendor = vendor_from_dict(vendor_condition);
            in.extras.triple_q = triple_q_from_dict(triple_q_scan_condition);
            ContainerWriter& core = w.get();
            nb::gil_scoped_release release;
            return core.add_spectrum(f.id, in);
          },
          "x"_a.none(), "intensity"_a,
          nb::kw_only()
#define VORN_FIELD(member, constant, computed, doc) \
  , nb::arg(#member).none() = keyword_default(computed, auto_value)
              VORN_SPECTRUM_FIELD_BINDINGS_1_0(VORN_FIELD),
          "profile"_a.none() = nb::none(), "vendor_condition"_a.none() = nb::none(),
          "triple_q_scan_condition"_a.none() =
              nb::none() VORN_SPECTRUM_FIELD_BINDINGS_1_1_ON(VORN_FIELD)
#undef VORN_FIELD
              ,
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
