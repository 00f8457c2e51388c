#include <nanobind/nanobind.h>

#include <string>

#include "../_glue/python.hpp"
#include "converter.hpp"

namespace nb = nanobind;
using namespace nb::literals;

namespace vorn::py {
namespace {

[[noreturn]] void raise_converter_error(const char* message) {
  raise_as(converter_name("ZelConverterException"), message);
}

// Appends the option arguments of the converter's ConvertOptions.
void add_option_string(nb::handle self, nb::handle arrays, nb::handle overwrite) {
  auto append = [&](const char* text) { arrays.attr("append")(nb::str(text)); };
  nb::object co = nb::getattr(self, "_ZelConverter__convert_options");
  if (co.is_none()) raise_exception("convert_options is null.");
  if (truth(overwrite)) append("-f");
  nb::object qual = co.attr("qual_options");
  if (qual.is_none()) raise_exception("qual_options is null.");
  nb::object quan = co.attr("quan_options");
  if (quan.is_none()) raise_exception("quan_options is null.");
  if (truth(qual.attr("keep_only_ms1_spectra"))) append("-ms1");
  if (truth(qual.attr("keep_profile_spectra"))) append("-kp");
  nb::object quan_types = converter_name("QuanAnalysisTypes");
  nb::object quan_type = quan.attr("desired_quan_analysis_type");
  if (ne(quan_type, quan_types.attr("ALL"))) {
    if (truth(quan_type & quan_types.attr("SRM"))) append("-srm");
    if (truth(quan_type & quan_types.attr("SIM"))) append("-sim");
  }
  nb::object types = converter_name("AnalysisTypes");
  nb::object analysis_type = co.attr("desired_analysis_type");
  if (ne(analysis_type, types.attr("ALL"))) {
    static const std::pair<const char*, const char*> kinds[] = {
        {"QUAL", "-qual"}, {"QUAN", "-quan"}, {"DAD", "-dad"}, {"ANALOG", "-analog"}};
    for (const auto& [member, option] : kinds)
      if (truth(analysis_type & types.attr(member))) append(option);
  }
  if (truth(co.attr("additional_options").attr("force_split_by_measurement")))
    append("--force-split-by-measurement");
  nb::object manufacturer = co.attr("manufacturer_options");
  if (truth(manufacturer.attr("waters_options").attr("keep_last_ms_function_in_mse")))
    append("--keep-last-msfunc");
  if (truth(manufacturer.attr("shimadzu_options").attr("use_shimadzu_post_processing")))
    append("--use-shimadzu-post-processing");
}

// The start step: refuses a second run, marks the converter busy, and hands
// the run to a one-thread pool.
nb::object start(nb::handle self, nb::handle args, nb::handle dest_path) {
  if (truth(nb::getattr(self, "_ZelConverter__is_converting")))
    raise_converter_error("Already converting.");
  nb::setattr(self, "_ZelConverter__is_converting", nb::bool_(true));
  nb::setattr(self, "_ZelConverter__is_cancelled", nb::bool_(false));
  nb::list cmd;
  cmd.append(nb::str("zelc.exe"));
  for (nb::handle a : args) cmd.append(a);
  return conversion_run("submit")(self, cmd, dest_path);
}

nb::object convert(nb::handle self, nb::handle sources, nb::handle destination,
                   nb::handle overwrite) {
  nb::list arrays;
  if (PyUnicode_Check(sources.ptr())) {
    arrays.append(sources);
  } else {
    for (nb::handle source : sources) arrays.append(source);
  }
  for (const char* a : {"--background", "--vorn-protocol-version", "1", "-dest"})
    arrays.append(nb::str(a));
  arrays.append(destination);
  self.attr("_ZelConverter__add_option_string")(arrays, overwrite);
  return self.attr("_ZelConverter__convert")(arrays, destination);
}

}  // namespace

void register_zel_converter(nb::module_& m) {
  struct ZelConverter {};
  nb::class_<ZelConverter> cls(
      m, "ZelConverter",
      "Converts vendor raw data into a container file by running the converter program "
      "zelc.exe. Windows only (sys.platform 'win32').",
      nb::dynamic_attr());
  cls.def(
      "__init__",
      [](ZelConverter* self) {
        if (ne(converter_name("sys").attr("platform"), nb::str("win32")))
          raise_converter_error("ZelConverter works only on Windows.");
        new (self) ZelConverter();
      },
      "Raises ZelConverterException unless sys.platform is 'win32'.");
  cls.def_prop_rw(
      "convert_options",
      [](nb::handle self) { return nb::getattr(self, "_ZelConverter__convert_options"); },
      [](nb::handle self, nb::handle v) { nb::setattr(self, "_ZelConverter__convert_options", v); },
      nb::for_setter(nb::arg("convert_options").none()),
      "The ConvertOptions of the next conversion (initially one shared by all converters).");
  cls.def_prop_rw(
      "progress_report_callback",
      [](nb::handle self) { return nb::getattr(self, "_ZelConverter__progress_report_callback"); },
      [](nb::handle self, nb::handle v) {
        nb::setattr(self, "_ZelConverter__progress_report_callback", v);
      },
      nb::for_setter(nb::arg("progress_report_callback").none()),
      "Called with each progress number (a float), in the conversion's thread.");
  cls.def("convert", &convert, "source_file_paths"_a.none(), "destination_file_path"_a.none(),
          "overwrite"_a.none(),
          "Starts converting the source files (a path or an iterable of paths) into the "
          "destination; returns a concurrent.futures.Future whose result is the converter's "
          "result text.");
  cls.def(
      "cancel", [](nb::handle self) { conversion_run("cancel")(self); },
      "Stops the running conversion: asks the program to stop, so that it removes its "
      "temporary file, and kills it if it has not ended after a grace period. Does not "
      "wait; the future raises ZelConverterException('Cancelled.').");
  cls.def("_ZelConverter__add_option_string", &add_option_string, "arrays"_a.none(),
          "overwrite"_a.none());
  cls.def("_ZelConverter__convert", &start, "args"_a.none(), "dest_path"_a.none());
  cls.def(
      "_ZelConverter__execute",
      [](nb::handle self, nb::handle cmd, nb::handle dest) {
        return conversion_run("execute")(self, cmd, dest);
      },
      "cmd_and_params"_a.none(), "dest_file_path"_a.none());

  nb::handle c = cls;
  c.attr("_ZelConverter__executor") = nb::none();
  c.attr("_ZelConverter__process") = nb::none();
  c.attr("_ZelConverter__conversion_result") = nb::str("");
  c.attr("_ZelConverter__convert_options") = m.attr("ConvertOptions")();
  c.attr("_ZelConverter__progress_report_callback") = nb::none();
  c.attr("_ZelConverter__is_converting") = nb::bool_(false);
  c.attr("_ZelConverter__is_cancelled") = nb::bool_(false);
}

}  // namespace vorn::py
