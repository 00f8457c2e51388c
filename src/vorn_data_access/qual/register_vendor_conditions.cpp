#include <nanobind/nanobind.h>
#include <nanobind/stl/string.h>

#include <string>

#include "../_glue/gc.hpp"
#include "../_glue/python.hpp"
#include "qual.hpp"

namespace nb = nanobind;
using namespace nb::literals;

namespace vorn::py {
namespace {

enum Vendor { kWaters, kAgilent, kThermo, kSciex, kShimadzu };

struct VendorClass {
  const char* name;
  const char* argument;  // constructor keyword
  int fields;
  std::array<const char*, 2> properties;
  std::array<const char*, 2> record_fields;  // VendorSpecificAdditionalCondition fields
  int voltage_field;                         // field a bare float fills, or -1
  int compared;                              // leading fields in equality and hash
  const char* doc;
};

constexpr VendorClass kClasses[] = {
    {"WatersMassLynxCondition",
     "argument",
     2,
     {"function_number", "cone_voltage"},
     {"original_id", "cone_voltage"},
     1,
     2,
     "Waters MassLynx: the function number and cone voltage of a scan."},
    {"AgilentMassHunterCondition",
     "argument",
     1,
     {"fragmentor_voltage", nullptr},
     {"cone_voltage", nullptr},
     0,
     1,
     "Agilent MassHunter: the fragmentor voltage of a scan."},
    {"ThermoFisherRawFileReaderCondition",
     "argument",
     2,
     {"sid", "scan_filter"},
     {"cone_voltage", "scan_info_string"},
     0,
     1,
     "Thermo Fisher: the source-induced dissociation voltage and scan filter of a scan; only "
     "the voltage takes part in equality."},
    {"SCIEXAnalystCondition",
     "vendor_specific_additional_condition",
     2,
     {"experiment_index", "dp"},
     {"original_id", "cone_voltage"},
     -1,
     2,
     "SCIEX Analyst: the experiment index and declustering potential of a scan."},
    {"ShimadzuIoModuleCondition",
     "vendor_specific_additional_condition",
     1,
     {"event_no", nullptr},
     {"original_id", nullptr},
     -1,
     1,
     "Shimadzu: the event number of a scan."},
};

// A voltage as text: the interpreter's, without a trailing ".0".
nb::str voltage_text(nb::handle v) {
  std::string s = nb::cast<std::string>(text(v));
  if (s.size() >= 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
  return nb::str(s.c_str(), s.size());
}

bool none(nb::handle h) {
  return is_none_eq(h);
}

nb::str vendor_text(int kind, const std::array<nb::object, 2>& f) {
  auto cat = [](std::initializer_list<nb::handle> parts) {
    nb::str s("");
    for (nb::handle p : parts) s = nb::str(s + nb::borrow<nb::str>(p));
    return s;
  };
  switch (kind) {
    case kWaters:
      if (none(f[0]) && none(f[1])) return nb::str("Waters|MassLynx");
      if (none(f[0])) return cat({nb::str("Waters|MassLynx: [Cone Voltage] "), voltage_text(f[1])});
      if (none(f[1])) return cat({nb::str("Waters|MassLynx: [Function Number] "), text(f[0])});
      return cat({nb::str("Waters|MassLynx: [Function Number] "), text(f[0]),
                  nb::str(", [Cone Voltage] "), voltage_text(f[1])});
    case kSciex:
      if (none(f[0]) && none(f[1])) return nb::str("SCIEX|Analyst");
      if (none(f[0])) return cat({nb::str("SCIEX|Analyst: [DP] "), voltage_text(f[1])});
      if (none(f[1])) return cat({nb::str("SCIEX|Analyst: [Experiment Index] "), text(f[0])});
      return cat({nb::str("SCIEX|Analyst: [Experiment Index] "), text(f[0]), nb::str(", [DP] "),
                  voltage_text(f[1])});
    case kThermo: {
      bool has_filter = !none(f[1]) && ne(f[1], nb::str(""));
      if (!none(f[0]) && has_filter)
        return cat({nb::str("ThermoFisher|RawFileReader: [SID] "), voltage_text(f[0]),
                    nb::str(", [Scan Filter] "), text(f[1])});
      if (!none(f[0]))
        return cat({nb::str("ThermoFisher|RawFileReader: [SID] "), voltage_text(f[0])});
      if (has_filter)
        return cat({nb::str("ThermoFisher|RawFileReader: [Scan Filter] "), text(f[1])});
      return nb::str("ThermoFisher|RawFileReader");
    }
    case kAgilent:
      if (none(f[0])) return nb::str("Agilent|MassHunter");
      return cat({nb::str("Agilent|MassHunter: [Fragmentor Voltage] "), voltage_text(f[0])});
    default:
      if (none(f[0])) return nb::str("Shimadzu|IoModule");
      return cat({nb::str("Shimadzu|IoModule: [Event Number] "), text(f[0])});
  }
}

template <int K>
void bind_vendor_class(nb::module_& m) {
  using T = VendorConditionValue<K>;
  static constexpr const VendorClass& c = kClasses[K];
  nb::class_<T> cls(m, c.name, c.doc, nb::type_slots(gc_slots<T>()));
  cls.def(
      "__init__",
      [](T* self, nb::handle argument) {
        std::array<nb::object, 2> values = {nb::none(), nb::none()};
        auto copy = [&] {
          for (int i = 0; i < c.fields; ++i)
            values[i] = argument.attr(
                (std::string("_VendorSpecificAdditionalCondition__") + c.record_fields[i]).c_str());
        };
        if (c.voltage_field < 0) {
          copy();  // no type test for these two
        } else if (nb::isinstance(argument, qual_name("VendorSpecificAdditionalCondition"))) {
          copy();
        } else if (PyFloat_Check(argument.ptr())) {
          values[c.voltage_field] = nb::borrow(argument);
        }
        new (self) T();
        self->f = std::move(values);
      },
      nb::arg(c.argument).none(),
      "Built from a VendorSpecificAdditionalCondition record, or (where the vendor has one) "
      "from a bare voltage float; any other argument leaves every field None.");
  for (int i = 0; i < c.fields; ++i)
    cls.def_prop_ro(c.properties[i], [i](const T& t) { return t.f[i]; }, "Stored unchanged.");
  cls.def(
      "__eq__",
      [](const T& a, nb::handle other) {
        if (!nb::isinstance<T>(other)) return false;
        const T& b = nb::cast<const T&>(other);
        for (int i = 0; i < c.compared; ++i)
          if (ne(a.f[i], b.f[i])) return false;
        return true;
      },
      nb::arg("other").none());
  cls.def("__hash__", [](const T& t) {
    Hash31 h;
    for (int i = 0; i < c.compared; ++i) h.add_field(t.f[i]);
    return h.result();
  });
  auto str = [](const T& t) { return vendor_text(K, t.f); };
  cls.def("__str__", str).def("__repr__", str);
  cls.def("__getstate__", [](const T& t) {
    nb::list fields;
    for (const nb::object& f : t.f) fields.append(f.is_valid() ? f : nb::none());
    return nb::tuple(fields);
  });
  cls.def("__setstate__", [](T& t, const nb::tuple& state) {
    if (nb::len(state) != 2) throw nb::value_error("bad condition state");
    new (&t) T();
    for (size_t i = 0; i < 2; ++i) t.f[i] = state[i];
  });
}

}  // namespace

nb::object vendor_condition_from_record(nb::handle record) {
  nb::object type = record.attr("_VendorSpecificAdditionalCondition__type");
  nb::object types = qual_name("VendorSpecificAdditionalConditionTypes");
  static const std::pair<const char*, const char*> order[] = {
      {"AGILENT_MASS_HUNTER", "AgilentMassHunterCondition"},
      {"SCIEX_ANALYST", "SCIEXAnalystCondition"},
      {"SHIMADZU_IO_MODULE", "ShimadzuIoModuleCondition"},
      {"THERMO_FISHER_RAW_FILE_READER", "ThermoFisherRawFileReaderCondition"},
      {"WATERS_MASS_LYNX", "WatersMassLynxCondition"}};
  for (const auto& [member, cls] : order)
    if (eq(type, types.attr(member))) return qual_name(cls)(record);
  return nb::object();
}

nb::object vendor_condition_from_voltage(const char* class_name, nb::handle voltage) {
  return qual_name(class_name)(voltage);
}

void register_vendor_conditions(nb::module_& m) {
  bind_vendor_class<kWaters>(m);
  bind_vendor_class<kAgilent>(m);
  bind_vendor_class<kThermo>(m);
  bind_vendor_class<kSciex>(m);
  bind_vendor_class<kShimadzu>(m);
}

}  // namespace vorn::py
