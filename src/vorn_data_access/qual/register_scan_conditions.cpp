#include <nanobind/nanobind.h>

#include "../_glue/gc.hpp"
#include "../_glue/python.hpp"
#include "qual.hpp"

namespace nb = nanobind;
using namespace nb::literals;

namespace vorn::py {
namespace {

struct ScanClass {
  const char* name;
  int fields;
  std::array<const char*, 3> properties;
  std::array<const char*, 3> record_fields;
  std::array<const char*, 3> labels;
  const char* doc;
};

// The four triple-quadrupole scan modes: which record fields each keeps and
// how it prints them.
constexpr ScanClass kClasses[] = {
    {"ProductIonScanCondition",
     2,
     {"precursor_ion_mz", "q3_range", nullptr},
     {"target_mz", "q3_range", nullptr},
     {"Product Ion Scan: [Precursor Ion m/z] ", ", [Q3 Range] ", nullptr},
     "Product-ion scan: a fixed precursor m/z, Q3 scanned over a range."},
    {"PrecursorIonScanCondition",
     2,
     {"product_ion_mz", "q1_range", nullptr},
     {"target_mz", "q1_range", nullptr},
     {"Precursor Ion Scan: [Product Ion m/z] ", ", [Q1 Range] ", nullptr},
     "Precursor-ion scan: a fixed product m/z, Q1 scanned over a range."},
    {"NeutralLossScanCondition",
     3,
     {"neutral_loss_mz", "q1_range", "q3_range"},
     {"target_mz", "q1_range", "q3_range"},
     {"Neutral Loss Scan: [Neutral Loss m/z] ", ", [Q1 Range] ", ", [Q3 Range] "},
     "Neutral-loss scan: Q1 and Q3 scanned with a fixed mass difference (the loss)."},
    {"NeutralGainScanCondition",
     3,
     {"neutral_gain_mz", "q1_range", "q3_range"},
     {"target_mz", "q1_range", "q3_range"},
     {"Neutral Gain Scan: [Neutral Gain m/z] ", ", [Q1 Range] ", ", [Q3 Range] "},
     "Neutral-gain scan: Q1 and Q3 scanned with a fixed mass difference (the gain)."},
};

template <int K>
void bind_scan_class(nb::module_& m) {
  using T = ScanCondition<K>;
  static constexpr const ScanClass& c = kClasses[K];
  nb::class_<T> cls(m, c.name, c.doc, nb::type_slots(gc_slots<T>()));
  cls.def(
      "__init__",
      [](T* self, nb::handle record) {
        std::array<nb::object, 3> values;
        for (int i = 0; i < c.fields; ++i)
          values[i] =
              record.attr((std::string("_TripleQScanCondition__") + c.record_fields[i]).c_str());
        new (self) T();
        self->f = std::move(values);
      },
      "triple_q_scan_condition"_a.none(), "Built from a TripleQScanCondition record.");
  for (int i = 0; i < c.fields; ++i)
    cls.def_prop_ro(c.properties[i], [i](const T& t) { return t.f[i]; }, "Stored unchanged.");
  cls.def(
      "__eq__",
      [](const T& a, nb::handle other) {
        if (!nb::isinstance<T>(other)) return false;
        const T& b = nb::cast<const T&>(other);
        for (int i = 0; i < c.fields; ++i)
          if (ne(a.f[i], b.f[i])) return false;
        return true;
      },
      nb::arg("other").none());
  cls.def("__hash__", [](const T& t) {
    Hash31 h;
    for (int i = 0; i < c.fields; ++i) h.add_field(t.f[i]);
    return h.result();
  });
  auto str = [](const T& t) {
    nb::str s(c.labels[0]);
    for (int i = 0; i < c.fields; ++i) {
      if (i) s = nb::str(s + nb::str(c.labels[i]));
      s = nb::str(s + text(t.f[i]));
    }
    return s;
  };
  cls.def("__str__", str).def("__repr__", str);
  cls.def("__getstate__", [](const T& t) {
    nb::list fields;
    for (const nb::object& f : t.f) fields.append(f.is_valid() ? f : nb::none());
    return nb::tuple(fields);
  });
  cls.def("__setstate__", [](T& t, const nb::tuple& state) {
    if (nb::len(state) != 3) throw nb::value_error("bad condition state");
    new (&t) T();
    for (size_t i = 0; i < 3; ++i) t.f[i] = state[i];
  });
}

}  // namespace

nb::object scan_condition_from_record(nb::handle record) {
  nb::object type = record.attr("_TripleQScanCondition__type");
  nb::object types = qual_name("TripleQScanTypes");
  // Order of the comparisons: precursor, product, neutral loss, neutral gain.
  static const std::pair<const char*, const char*> order[] = {
      {"PRECURSOR", "PrecursorIonScanCondition"},
      {"PRODUCT", "ProductIonScanCondition"},
      {"NEUTRAL_LOSS", "NeutralLossScanCondition"},
      {"NEUTRAL_GAIN", "NeutralGainScanCondition"}};
  for (const auto& [member, cls] : order)
    if (eq(type, types.attr(member))) return qual_name(cls)(record);
  return nb::object();
}

void register_scan_conditions(nb::module_& m) {
  bind_scan_class<0>(m);
  bind_scan_class<1>(m);
  bind_scan_class<2>(m);
  bind_scan_class<3>(m);
}

}  // namespace vorn::py
