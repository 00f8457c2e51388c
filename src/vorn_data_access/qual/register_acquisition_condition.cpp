#include <nanobind/nanobind.h>

#include <cstring>

#include "../_glue/convert.hpp"
#include "../_glue/gc.hpp"
#include "../_glue/python.hpp"
#include "../_glue/records.hpp"
#include "../_glue/spectrum_records.hpp"
#include "qual.hpp"

namespace nb = nanobind;
using namespace nb::literals;

namespace vorn::py {
namespace {

using AC = AcquisitionCondition;

// A record field by its mangled name, read natively from the package's own
// records.
nb::object field(nb::handle record, const char* cls, const char* name) {
  return record.attr((std::string("_") + cls + "__" + name).c_str());
}

nb::object level_or_one(nb::handle level) {
  return is_none_eq(level) ? nb::object(nb::int_(1)) : nb::borrow(level);
}

// A slot record's field: natively for the package's own record class, by
// its mangled name otherwise.
template <typename Record>
nb::object record_field(nb::handle record, size_t slot) {
  if (const Record* r = exact<Record>(record)) return r->get(slot);
  return field(record, Record::kName, Record::kFields[slot]);
}

void from_stored_condition(AC& c, nb::handle record) {
  using Stored = AcquisitionConditionRecordObj;
  using Core = CoreConditionRecord;
  nb::object core = record_field<Stored>(record, Stored::kCore);
  auto core_field = [&](const char* name) {
    for (size_t i = 0; i < Core::kFields.size(); ++i)
      if (std::strcmp(Core::kFields[i], name) == 0) return record_field<Core>(core, i);
    return field(core, Core::kName, name);
  };
  c.f[AC::kMsLevel] = level_or_one(core_field("ms_level"));
  c.f[AC::kPolarity] = core_field("polarity");
  c.f[AC::kCollisionEnergy] = core_field("collision_energy");
  c.f[AC::kMassRange] = core_field("mass_range");
  c.f[AC::kOriginalType] = core_field("original_measured_spectrum_type");
  c.f[AC::kPrecursorRange] = record_field<Stored>(record, Stored::kPrecursorRange);
  c.f[AC::kPrecursorValue] = record_field<Stored>(record, Stored::kPrecursorValue);
  nb::object vendor = core_field("vendor_specific_additional_condition");
  if (!is_none_eq(vendor))
    if (nb::object v = vendor_condition_from_record(vendor); v.is_valid())
      c.f[AC::kAdditional].attr("append")(v);
  nb::object scan = core_field("triple_q_scan_condition");
  if (!is_none_eq(scan))
    if (nb::object s = scan_condition_from_record(scan); s.is_valid())
      c.f[AC::kAdditional].attr("append")(s);
}

void from_spectrum_description(AC& c, nb::handle d) {
  SpectrumDescriptionObject* record = as_description(d.ptr());
  auto get = [&](int i, const char* name) {
    if (record) return description_field(record, i);
    return field(d, "InternalSpectrumDescription", name);
  };
  using R = SpectrumField;
  c.f[AC::kMsLevel] = level_or_one(get(R::kMsLevel, "ms_level"));
  c.f[AC::kPolarity] = get(R::kPolarity, "polarity");
  c.f[AC::kCollisionEnergy] = get(R::kCollisionEnergy, "collision_energy");
  c.f[AC::kMassRange] = get(R::kMassRange, "mass_range");
  nb::object profile = get(R::kIsProfileSpectrumMeasured, "is_profile_spectrum_measured");
  nb::object types = qual_name("SpectrumTypes");
  c.f[AC::kOriginalType] = is_none_eq(profile)            ? types.attr("UNKNOWN")
                           : eq(profile, nb::bool_(true)) ? types.attr("PROFILE")
                                                          : types.attr("CENTROID");
  c.f[AC::kPrecursorRange] = get(R::kPrecursorRange, "precursor_range");
  c.f[AC::kPrecursorValue] = get(R::kPrecursorValue, "precursor_value");
  nb::object voltage = get(R::kConeVoltage, "cone_voltage");
  if (is_none_eq(voltage)) return;
  nb::object properties = get(R::kSupplementalProperties, "supplemental_properties");
  static const std::pair<const char*, const char*> keys[] = {
      {"FragmentorVoltage", "AgilentMassHunterCondition"},
      {"In-SourceCID", "ThermoFisherRawFileReaderCondition"},
      {"ConeVoltage", "WatersMassLynxCondition"}};
  for (const auto& [key, cls] : keys) {
    int has = PySequence_Contains(properties.ptr(), nb::str(key).ptr());
    if (has < 0) throw nb::python_error();
    if (has) {
      c.f[AC::kAdditional].attr("append")(vendor_condition_from_voltage(cls, voltage));
      return;
    }
  }
}

nb::str condition_text(const AC& c) {
  nb::list parts;
  auto add = [&](nb::handle h) { parts.append(h); };
  add(nb::str("MS"));
  add(text(c.f[AC::kMsLevel]));
  nb::object polarity = qual_name("PolarityTypes");
  nb::handle p = c.f[AC::kPolarity];
  if (eq(p, polarity.attr("POSITIVE")))
    add(nb::str("+"));
  else if (eq(p, polarity.attr("NEGATIVE")))
    add(nb::str("-"));
  else if (eq(p, polarity.attr("BOTH")))
    add(nb::str("+/-"));
  auto labelled = [&](size_t i, const char* label) {
    if (!is_none_eq(c.f[i])) {
      add(nb::str(label));
      add(text(c.f[i]));
    }
  };
  labelled(AC::kMassRange, ", [Mass Range] ");
  labelled(AC::kCollisionEnergy, ", [Collision Energy] ");
  labelled(AC::kPrecursorValue, ", [Precursor Value] ");
  labelled(AC::kPrecursorRange, ", [Precursor Range] ");
  nb::object types = qual_name("SpectrumTypes");
  if (eq(c.f[AC::kOriginalType], types.attr("PROFILE")))
    add(nb::str(", [Original Measured Spectrum Type] Profile"));
  else if (eq(c.f[AC::kOriginalType], types.attr("CENTROID")))
    add(nb::str(", [Original Measured Spectrum Type] Centroid"));
  nb::handle extra = c.f[AC::kAdditional];
  if (!is_none_eq(extra) && truth(extra))
    for (nb::handle a : extra) {
      add(nb::str("; "));
      add(text(a));
    }
  return nb::str(nb::str("").attr("join")(parts));
}

}  // namespace

bool is_acquisition_condition(nb::handle h) {
  return nb::isinstance<AC>(h);
}

bool same_fields(const AC& a, const AC& b) {
  for (size_t i = 0; i < 8; ++i)
    if (ne(a.f[i], b.f[i])) return false;
  return true;
}

bool conditions_equal(nb::handle a, nb::handle b) {
  const AC* x = exact<AC>(a);
  const AC* y = exact<AC>(b);
  if (x && y) return same_fields(*x, *y);
  return eq(a, b);
}

nb::object make_acquisition_condition(nb::handle argument) {
  AC c;
  c.f[AC::kAdditional] = nb::list();
  if (nb::isinstance(argument, qual_name("InternalAcquisitionCondition")))
    from_stored_condition(c, argument);
  else if (nb::isinstance(argument, qual_name("InternalSpectrumDescription")))
    from_spectrum_description(c, argument);
  else
    throw nb::type_error(
        "AcquisitionCondition is built from an InternalAcquisitionCondition or an "
        "InternalSpectrumDescription");
  return nb::cast(std::move(c));
}

void register_acquisition_condition(nb::module_& m) {
  nb::class_<AC> cls(m, "AcquisitionCondition",
                     "How a mass spectrum was acquired: MS level, polarity, collision energy, "
                     "precursor, mass range, original spectrum type and further (scan mode, "
                     "vendor) conditions. Compared and hashed by value.",
                     nb::type_slots(gc_slots<AC>()));
  cls.def(
      "__init__",
      [](AC* self, nb::handle argument) {
        nb::object made = make_acquisition_condition(argument);
        new (self) AC(nb::cast<const AC&>(made));
      },
      "argument"_a.none(),
      "Built from an InternalAcquisitionCondition (a stored distinct condition) or an "
      "InternalSpectrumDescription.");
  static const char* names[] = {"ms_level",
                                "polarity",
                                "collision_energy",
                                "precursor_value",
                                "original_measured_spectrum_type",
                                "precursor_range",
                                "mass_range",
                                "additional_conditions"};
  static const char* docs[] = {
      "MS level (1 when the source holds None).",
      "A PolarityTypes member, as stored.",
      "Collision energy or None.",
      "Precursor m/z or None.",
      "SpectrumTypes.PROFILE, CENTROID or UNKNOWN.",
      "Precursor isolation range (ValueRange) or None.",
      "Scanned mass range (ValueRange) or None.",
      "List of scan-mode and vendor conditions (the condition's own list)."};
  for (size_t i = 0; i < 8; ++i)
    cls.def_prop_ro(names[i], [i](const AC& c) { return c.f[i]; }, docs[i]);
  cls.def(
      "__eq__",
      [](const AC& a, nb::handle other) {
        if (!nb::isinstance<AC>(other)) return false;
        return same_fields(a, nb::cast<const AC&>(other));
      },
      nb::arg("other").none());
  cls.def("__hash__", [](const AC& c) {
    Hash31 h;
    for (size_t i = 0; i < AC::kAdditional; ++i) h.add_field(c.f[i]);
    nb::object items = nb::steal(PySequence_Tuple(c.f[AC::kAdditional].ptr()));
    if (!items.is_valid()) throw nb::python_error();
    h.add(py_hash(items));
    return h.result();
  });
  cls.def("__str__", &condition_text).def("__repr__", &condition_text);
  // Pickled field by field (the list of further conditions as a list), so a
  // condition goes to another process and compares equal there.
  cls.def("__getstate__", [](const AC& c) {
    nb::list fields;
    for (const nb::object& f : c.f) fields.append(f);
    return nb::tuple(fields);
  });
  cls.def("__setstate__", [](AC& c, const nb::tuple& state) {
    if (nb::len(state) != 8) throw nb::value_error("bad AcquisitionCondition state");
    new (&c) AC();
    for (size_t i = 0; i < 8; ++i) c.f[i] = state[i];
    c.f[AC::kAdditional] =
        nb::steal(PySequence_List(state[static_cast<size_t>(AC::kAdditional)].ptr()));
    if (!c.f[AC::kAdditional].is_valid()) throw nb::python_error();
  });
}

}  // namespace vorn::py
