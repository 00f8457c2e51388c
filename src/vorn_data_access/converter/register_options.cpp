#include <nanobind/nanobind.h>

#include <string>

#include "converter.hpp"

namespace nb = nanobind;

namespace vorn::py {
namespace {

template <int Kind>
struct Options {};  // all state lives in the instance dict and class attributes

struct Property {
  const char* name;
  const char* doc;
};

// Binds an option class: constructed without arguments, each property backed
// by the private field `__<name>` whose class-wide initial value is set later.
template <int Kind>
nb::object bind_options(nb::module_& m, const char* name, const char* doc,
                        std::initializer_list<Property> properties) {
  nb::class_<Options<Kind>> cls(m, name, doc, nb::dynamic_attr());
  cls.def(nb::init<>());
  for (const Property& p : properties) {
    std::string mangled = std::string("_") + name + "__" + p.name;
    cls.def_prop_rw(
        p.name, [mangled](nb::handle self) { return nb::getattr(self, mangled.c_str()); },
        [mangled](nb::handle self, nb::handle value) { nb::setattr(self, mangled.c_str(), value); },
        nb::for_setter(nb::arg(p.name).none()), p.doc);
  }
  return cls;
}

}  // namespace

// Classes first, then the shared initial option objects, in the order the
// module has always made them.
void register_options(nb::module_& m) {
  nb::object qual = bind_options<0>(
      m, "QualOptions", "What to keep of mass-spectrometry data.",
      {{"keep_profile_spectra", "Keep profile spectra where the data has them (-kp)."},
       {"keep_only_ms1_spectra", "Keep MS1 spectra only (-ms1)."}});
  nb::object quan = bind_options<1>(
      m, "QuanOptions", "Which quantitation scan kinds to keep.",
      {{"desired_quan_analysis_type", "QuanAnalysisTypes flags; ALL keeps every kind."}});
  nb::object shimadzu =
      bind_options<2>(m, "ShimadzuOptions", "Switches for Shimadzu data.",
                      {{"use_shimadzu_post_processing", "Apply Shimadzu post-processing."}});
  nb::object waters =
      bind_options<3>(m, "WatersOptions", "Switches for Waters data.",
                      {{"keep_last_ms_function_in_mse", "Keep the last MS function of MSE data."}});
  nb::object manufacturer = bind_options<4>(
      m, "ManufacturerOptions", "Vendor-specific switches.",
      {{"shimadzu_options", "ShimadzuOptions."}, {"waters_options", "WatersOptions."}});
  nb::object quan_types = m.attr("QuanAnalysisTypes");
  nb::object analysis_types = m.attr("AnalysisTypes");
  qual.attr("_QualOptions__keep_profile_spectra") = nb::bool_(false);
  qual.attr("_QualOptions__keep_only_ms1_spectra") = nb::bool_(false);
  quan.attr("_QuanOptions__desired_quan_analysis_type") = quan_types.attr("ALL");
  shimadzu.attr("_ShimadzuOptions__use_shimadzu_post_processing") = nb::bool_(false);
  waters.attr("_WatersOptions__keep_last_ms_function_in_mse") = nb::bool_(false);
  manufacturer.attr("_ManufacturerOptions__shimadzu_options") = shimadzu();
  manufacturer.attr("_ManufacturerOptions__waters_options") = waters();
  nb::object additional = bind_options<5>(
      m, "AdditionalOptions", "Further switches.",
      {{"force_split_by_measurement", "Write each measurement to a file of its own."}});
  additional.attr("_AdditionalOptions__force_split_by_measurement") = nb::bool_(false);
  nb::object convert =
      bind_options<6>(m, "ConvertOptions", "All options of a conversion.",
                      {{"qual_options", "QualOptions."},
                       {"quan_options", "QuanOptions."},
                       {"manufacturer_options", "ManufacturerOptions."},
                       {"desired_analysis_type", "AnalysisTypes flags; ALL converts every kind."},
                       {"additional_options", "AdditionalOptions."}});
  convert.attr("_ConvertOptions__qual_options") = qual();
  convert.attr("_ConvertOptions__quan_options") = quan();
  convert.attr("_ConvertOptions__manufacturer_options") = manufacturer();
  convert.attr("_ConvertOptions__additional_options") = additional();
  convert.attr("_ConvertOptions__desired_analysis_type") = analysis_types.attr("ALL");
}

}  // namespace vorn::py
