#include <nanobind/nanobind.h>
#include <nanobind/stl/string.h>

#include <string>

#include "../_glue/gc.hpp"
#include "../_glue/python.hpp"
#include "writer.hpp"
#include "writer_convert.hpp"

namespace nb = nanobind;
using namespace nb::literals;

namespace vorn::py {
namespace {

std::string fs_path(nb::handle path) {
  nb::bytes encoded(nb::module_::import_("os").attr("fsencode")(path));
  return std::string(encoded.c_str(), encoded.size());
}

uint16_t version_part(nb::handle v) {
  auto x = nb::cast<int64_t>(v);
  if (x < 0 || x > 0xFFFF) throw nb::value_error("version numbers must lie in 0..65535");
  return static_cast<uint16_t>(x);
}

// The measurement's metadata from the keywords, by the kind of each field
// (VORN_MEASUREMENT_FIELDS): its conversion and its default.
std::optional<std::string> keyword_text(nb::handle h, const char* name) {
  return opt_text(h, name);
}
std::optional<double> keyword_number(nb::handle h, const char* name) {
  return opt_double(h, name);
}
std::optional<std::string> keyword_date_time(nb::handle h, const char* name) {
  if (absent(h)) return std::nullopt;
  if (nb::isinstance<nb::str>(h)) return nb::cast<std::string>(h);
  if (nb::hasattr(h, "isoformat")) return nb::cast<std::string>(h.attr("isoformat")());
  throw nb::type_error((std::string(name) + " must be str, a datetime or None").c_str());
}
std::optional<Properties> keyword_properties(nb::handle h, const char*) {
  if (absent(h)) return std::nullopt;
  return properties_from_python(h);
}
nb::object text_default() {
  return nb::none();
}
nb::object number_default() {
  return nb::none();
}
nb::object date_time_default() {
  return nb::none();
}
nb::object properties_default() {
  return nb::dict();
}  // stored as an empty table

nb::object function_writer(MeasurementWriter& m, FunctionSpec spec, FunctionKind kind) {
  auto& w = nb::cast<VornWriter&>(m.writer);
  std::optional<std::vector<double>> wavelengths = spec.wavelengths;
  size_t id = w.get().add_function(m.id, std::move(spec));
  return make_instance<FunctionWriter>(m.writer, id, kind, std::move(wavelengths));
}

}  // namespace

void register_writer(nb::module_& m) {
  nb::class_<VornWriter>(
      m, "VornWriter",
      "Writes a container file. Spectra stream to disk as they are added; the file appears under "
      "its name only when finished (leaving a ``with`` block normally finishes it, an exception "
      "abandons it). An existing file is refused unless ``overwrite`` is true.",
      nb::type_slots(gc_slots<VornWriter>()))
      .def(
          "__init__",
          [](VornWriter* self, nb::handle path, nb::handle overwrite, nb::handle converter_version,
             int compression_level, uint32_t chunk_points) {
            WriterOptions o;
            o.overwrite = truth(overwrite);
            nb::tuple v =
                nb::tuple(nb::module_::import_("builtins").attr("tuple")(converter_version));
            if (v.size() != 3) throw nb::value_error("converter_version needs three numbers");
            for (size_t i = 0; i < 3; ++i) o.converter_version[i] = version_part(v[i]);
            if (compression_level < 1 || compression_level > 22)
              throw nb::value_error("compression_level must lie in 1..22");
            if (chunk_points < 16) throw nb::value_error("chunk_points must be at least 16");
            o.encoding.zstd_level = compression_level;
            o.encoding.chunk_points = chunk_points;
            auto core = std::make_unique<ContainerWriter>(fs_path(path), o);
            new (self) VornWriter{std::move(core), nb::borrow(path)};
          },
          "path"_a.none(), nb::kw_only(), "overwrite"_a.none() = false,
          "converter_version"_a.none() = nb::make_tuple(1, 0, 0), "compression_level"_a = 3,
          "chunk_points"_a = 512)
      .def_prop_ro(
          "path", [](VornWriter& w) { return w.path; }, "Destination path, as given.")
      .def_prop_ro(
          "bytes_written", [](VornWriter& w) { return w.get().bytes_written(); },
          "Bytes written so far.")
      .def_prop_ro(
          "finished", [](VornWriter& w) { return w.core && w.core->finished(); },
          "Whether the file is complete and in place.")
      .def(
          "add_measurement",
          [](nb::handle self
#define VORN_FIELD(member, type, words, kind) , nb::handle member
                 VORN_MEASUREMENT_FIELDS(VORN_FIELD)
#undef VORN_FIELD
          ) {
            MeasurementDescription d;
#define VORN_FIELD(member, type, words, kind) d.member = keyword_##kind(member, #member);
            VORN_MEASUREMENT_FIELDS(VORN_FIELD)
#undef VORN_FIELD
            size_t id = nb::inst_ptr<VornWriter>(self)->get().add_measurement(std::move(d));
            return make_instance<MeasurementWriter>(nb::borrow(self), id);
          },
          nb::kw_only()
#define VORN_FIELD(member, type, words, kind) , nb::arg(#member).none() = kind##_default()
              VORN_MEASUREMENT_FIELDS(VORN_FIELD)
#undef VORN_FIELD
                  ,
          "Adds a measurement with its metadata (all keyword arguments, None for absent).")
      .def(
          "finish",
          [](VornWriter& w) {
            nb::gil_scoped_release release;
            w.get().finish();
          },
          "Writes the index blocks, jump table and trailer, and moves the file to its name.")
      .def(
          "abandon", [](VornWriter& w) { w.get().abandon(); },
          "Deletes the partial file; nothing appears at the destination.")
      .def("__enter__", [](nb::handle self) { return nb::borrow(self); })
      .def(
          "__exit__",
          [](VornWriter& w, nb::handle ex_type, nb::handle, nb::handle) {
            if (!w.core || w.core->finished()) return;
            if (ex_type.is_none())
              w.core->finish();
            else
              w.core->abandon();
          },
          "ex_type"_a.none(), "ex_value"_a.none(), "trace"_a.none());

  nb::class_<MeasurementWriter>(m, "MeasurementWriter",
                                "Adds functions to one measurement of a VornWriter.",
                                nb::type_slots(gc_slots<MeasurementWriter>()))
      .def_ro("index", &MeasurementWriter::id, "Position of the measurement in the file.")
      .def(
          "add_ms_function",
          [](MeasurementWriter& mw, nb::handle conditions, nb::handle supplemental_properties) {
            FunctionSpec spec;
            spec.supplemental_properties = properties_from_python(supplemental_properties);
            if (conditions.is_none()) {
              spec.conditions = ConditionList::kNone;
            } else if (nb::isinstance<nb::str>(conditions)) {
              if (nb::cast<std::string>(conditions) != "derive")
                throw nb::value_error("conditions must be 'derive', None or a list of dicts");
              spec.conditions = ConditionList::kDerive;
            } else {
              spec.conditions = ConditionList::kExplicit;
              for (nb::handle c : conditions)
                spec.explicit_conditions.push_back(condition_from_dict(c));
            }
            return function_writer(mw, std::move(spec), FunctionKind::kMs);
          },
          nb::kw_only(), "conditions"_a.none() = "derive",
          "supplemental_properties"_a.none() = nb::none(),
          "Adds a mass-spectrometry (qual) function. `conditions`: 'derive' works out and stores "
          "the distinct acquisition conditions; None stores none (readers derive them); a list of "
          "dicts stores that list, and every spectrum names its entry with "
          "acquisition_condition_index.")
      .def(
          "add_dad_function",
          [](MeasurementWriter& mw, nb::handle wavelengths, nb::handle wavelengths_f32,
             nb::handle supplemental_properties) {
            const bool f32 = truth(wavelengths_f32);
            FunctionSpec spec;
            spec.detector = DetectorType::kDiodeArray;
            spec.supplemental_properties = properties_from_python(supplemental_properties);
            if (!wavelengths.is_none()) {
              std::vector<double> w;
              for (nb::handle v : wavelengths) w.push_back(nb::cast<double>(v));
              spec.wavelengths = std::move(w);
              spec.wavelengths_f32 = f32;
            }
            return function_writer(mw, std::move(spec), FunctionKind::kDad);
          },
          "wavelengths"_a.none() = nb::none(), nb::kw_only(), "wavelengths_f32"_a.none() = false,
          "supplemental_properties"_a.none() = nb::none(),
          "Adds a diode-array function. With `wavelengths`, each spectrum stores only its "
          "absorbances, one per wavelength.")
      .def(
          "add_quan_function",
          [](MeasurementWriter& mw, nb::handle supplemental_properties) {
            FunctionSpec spec;
            spec.is_qual = false;
            spec.supplemental_properties = properties_from_python(supplemental_properties);
            return function_writer(mw, std::move(spec), FunctionKind::kQuan);
          },
          nb::kw_only(), "supplemental_properties"_a.none() = nb::none(),
          "Adds a quantitative (SRM/SIM) function; each added 'spectrum' is one trace.")
      .def(
          "add_analog_function",
          [](MeasurementWriter& mw, nb::handle supplemental_properties) {
            FunctionSpec spec;
            spec.is_qual = false;
            spec.detector = DetectorType::kAnalog;
            spec.supplemental_properties = properties_from_python(supplemental_properties);
            return function_writer(mw, std::move(spec), FunctionKind::kAnalog);
          },
          nb::kw_only(), "supplemental_properties"_a.none() = nb::none(),
          "Adds an analog-detector function; each added 'spectrum' is one trace.")
      .def(
          "finish",
          [](MeasurementWriter& mw) {
            nb::cast<VornWriter&>(mw.writer).get().finish_measurement(mw.id);
          },
          "Writes this measurement's index blocks; it takes no more functions or spectra.");
}

}  // namespace vorn::py
