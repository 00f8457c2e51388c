#include "record_codec.hpp"

#include <string>
#include <unordered_set>

namespace vorn {
namespace {

// Presence masks: the writer sets a bit per stored optional field; the reader
// reads the fields whose bits are set, in bit order.
class MaskWriter {
 public:
  template <typename T>
  void note(const std::optional<T>& v) {
    if (v) mask_ |= 1u << bit_;
    ++bit_;
  }
  uint32_t mask() const { return mask_; }

 private:
  uint32_t mask_ = 0;
  int bit_ = 0;
};

void check_mask(uint32_t mask, int fields, uint64_t at, const char* what) {
  if (fields < 32 && (mask >> fields) != 0)
    throw FormatError(std::string(what) + " has unknown field bits set", at);
}

template <typename E>
E enum_code(uint8_t v, uint8_t max, uint64_t at, const char* what) {
  if (v > max) throw FormatError(std::string("unknown ") + what + " code " + std::to_string(v), at);
  return static_cast<E>(v);
}

void put_range(ByteSink& out, const Range& r) {
  out.f64(r.min);
  out.f64(r.max);
}

Range get_range(ByteCursor& in, const char* what) {
  Range r;
  r.min = in.f64(what);
  r.max = in.f64(what);
  return r;
}

void put_opt_str(ByteSink& out, const std::optional<std::string>& s) {
  if (s) out.str(*s);
}

}  // namespace

void encode(ByteSink& out, const Properties& p) {
  out.u32(static_cast<uint32_t>(p.size()));
  for (const auto& [key, value] : p) {
    out.str(key);
    std::visit(
        [&](const auto& v) {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, std::monostate>) {
            out.u8(0);
          } else if constexpr (std::is_same_v<T, bool>) {
            out.u8(v ? 2 : 1);
          } else if constexpr (std::is_same_v<T, int64_t>) {
            out.u8(3);
            out.i64(v);
          } else if constexpr (std::is_same_v<T, double>) {
            out.u8(4);
            out.f64(v);
          } else {
            out.u8(5);
            out.str(v);
          }
        },
        value);
  }
}

Properties decode_properties(ByteCursor& in) {
  uint64_t at = in.position();
  // Smallest entry: empty key (4 bytes) and a tag.
  uint64_t n = in.count(in.u32("property count"), limits::kProperties, 5, "property count");
  Properties p;
  p.reserve(n);
  std::unordered_set<std::string> seen;
  for (uint64_t i = 0; i < n; ++i) {
    std::string key = in.str("property key");
    if (!seen.insert(key).second) throw FormatError("duplicate property key '" + key + "'", at);
    uint64_t tag_at = in.position();
    uint8_t tag = in.u8("property tag");
    PropertyValue value;
    switch (tag) {
      case 0:
        break;
      case 1:
        value = false;
        break;
      case 2:
        value = true;
        break;
      case 3:
        value = in.i64("property value");
        break;
      case 4:
        value = in.f64("property value");
        break;
      case 5:
        value = in.str("property value");
        break;
      default:
        throw FormatError("unknown property tag " + std::to_string(tag), tag_at);
    }
    p.emplace_back(std::move(key), std::move(value));
  }
  return p;
}

void put_field(ByteSink& out, const std::string& v) {
  out.str(v);
}
void put_field(ByteSink& out, double v) {
  out.f64(v);
}
void put_field(ByteSink& out, const Properties& v) {
  encode(out, v);
}

void get_field(ByteCursor& in, std::optional<std::string>& f, const char* what) {
  f = in.str(what);
}
void get_field(ByteCursor& in, std::optional<double>& f, const char* what) {
  f = in.f64(what);
}
void get_field(ByteCursor& in, std::optional<Properties>& f, const char*) {
  f = decode_properties(in);
}

void encode(ByteSink& out, const MeasurementDescription& m) {
  MaskWriter mask;
#define VORN_FIELD(member, type, words, kind) mask.note(m.member);
  VORN_MEASUREMENT_FIELDS(VORN_FIELD)
#undef VORN_FIELD
  out.u32(mask.mask());
#define VORN_FIELD(member, type, words, kind) \
  if (m.member) put_field(out, *m.member);
  VORN_MEASUREMENT_FIELDS(VORN_FIELD)
#undef VORN_FIELD
}

MeasurementDescription decode_measurement(ByteCursor& in) {
  uint64_t at = in.position();
  uint32_t mask = in.u32("measurement description");
  check_mask(mask, static_cast<int>(kMeasurementFieldNames.size()), at, "measurement description");
  MeasurementDescription m;
  int bit = 0;
#define VORN_FIELD(member, type, words, kind) \
  if (mask & (1u << bit++)) get_field(in, m.member, words);
  VORN_MEASUREMENT_FIELDS(VORN_FIELD)
#undef VORN_FIELD
  return m;
}

void encode(ByteSink& out, const AcquisitionConditionRecord& c) {
  const CoreCondition& k = c.core;
  uint16_t mask = 0;
  if (k.ms_level) mask |= 1u << 0;
  if (k.polarity) mask |= 1u << 1;
  if (k.collision_energy) mask |= 1u << 2;
  if (k.mass_range) mask |= 1u << 3;
  if (k.original_measured_spectrum_type) mask |= 1u << 4;
  if (c.precursor_range) mask |= 1u << 5;
  if (c.precursor_value) mask |= 1u << 6;
  if (k.vendor) mask |= 1u << 7;
  if (k.triple_q) mask |= 1u << 8;
  out.u16(mask);
  if (k.ms_level) out.i64(*k.ms_level);
  if (k.polarity) out.u8(static_cast<uint8_t>(*k.polarity));
  if (k.collision_energy) out.f64(*k.collision_energy);
  if (k.mass_range) put_range(out, *k.mass_range);
  if (k.original_measured_spectrum_type)
    out.u8(static_cast<uint8_t>(*k.original_measured_spectrum_type));
  if (c.precursor_range) put_range(out, *c.precursor_range);
  if (c.precursor_value) out.f64(*c.precursor_value);
  if (k.vendor) {
    const VendorCondition& v = *k.vendor;
    out.u8(static_cast<uint8_t>(v.type));
    out.u8(static_cast<uint8_t>((v.original_id ? 1 : 0) | (v.cone_voltage ? 2 : 0) |
                                (v.scan_info_string ? 4 : 0)));
    if (v.original_id) out.i64(*v.original_id);
    if (v.cone_voltage) out.f64(*v.cone_voltage);
    put_opt_str(out, v.scan_info_string);
  }
  if (k.triple_q) {
    const TripleQScan& t = *k.triple_q;
    out.u8(static_cast<uint8_t>(t.type));
    out.u8(
        static_cast<uint8_t>((t.target_mz ? 1 : 0) | (t.q1_range ? 2 : 0) | (t.q3_range ? 4 : 0)));
    if (t.target_mz) out.f64(*t.target_mz);
    if (t.q1_range) put_range(out, *t.q1_range);
    if (t.q3_range) put_range(out, *t.q3_range);
  }
}

AcquisitionConditionRecord decode_condition(ByteCursor& in) {
  uint64_t at = in.position();
  uint16_t mask = in.u16("acquisition condition");
  check_mask(mask, 9, at, "acquisition condition");
  AcquisitionConditionRecord c;
  CoreCondition& k = c.core;
  if (mask & (1u << 0)) k.ms_level = in.i64("ms level");
  if (mask & (1u << 1))
    k.polarity =
        enum_code<Polarity>(in.u8("polarity"), kMaxPolarity, in.position() - 1, "polarity");
  if (mask & (1u << 2)) k.collision_energy = in.f64("collision energy");
  if (mask & (1u << 3)) k.mass_range = get_range(in, "mass range");
  if (mask & (1u << 4))
    k.original_measured_spectrum_type = enum_code<SpectrumType>(
        in.u8("spectrum type"), kMaxSpectrumType, in.position() - 1, "spectrum type");
  if (mask & (1u << 5)) c.precursor_range = get_range(in, "precursor range");
  if (mask & (1u << 6)) c.precursor_value = in.f64("precursor value");
  if (mask & (1u << 7)) {
    VendorCondition v;
    v.type = enum_code<VendorType>(in.u8("vendor condition"), kMaxVendorType, in.position() - 1,
                                   "vendor condition type");
    uint64_t vat = in.position();
    uint8_t vmask = in.u8("vendor condition");
    check_mask(vmask, 3, vat, "vendor condition");
    if (vmask & 1) v.original_id = in.i64("original id");
    if (vmask & 2) v.cone_voltage = in.f64("cone voltage");
    if (vmask & 4) v.scan_info_string = in.str("scan info string");
    k.vendor = std::move(v);
  }
  if (mask & (1u << 8)) {
    TripleQScan t;
    t.type = enum_code<TripleQScanType>(in.u8("scan condition"), kMaxTripleQScanType,
                                        in.position() - 1, "triple-quadrupole scan type");
    uint64_t tat = in.position();
    uint8_t tmask = in.u8("scan condition");
    check_mask(tmask, 3, tat, "scan condition");
    if (tmask & 1) t.target_mz = in.f64("target m/z");
    if (tmask & 2) t.q1_range = get_range(in, "Q1 range");
    if (tmask & 4) t.q3_range = get_range(in, "Q3 range");
    k.triple_q = t;
  }
  return c;
}

void encode(ByteSink& out, const FunctionDescription& f) {
  out.u8(f.is_qual ? 1 : 0);
  out.u8(static_cast<uint8_t>(f.detector));
  out.u8(static_cast<uint8_t>((f.conditions ? 1 : 0) | (f.wavelengths ? 2 : 0)));
  out.u8(0);
  encode(out, f.supplemental_properties);
  if (f.conditions) {
    out.u32(static_cast<uint32_t>(f.conditions->size()));
    for (const auto& c : *f.conditions) encode(out, c);
  }
  if (f.wavelengths) {
    out.u32(static_cast<uint32_t>(f.wavelengths->size()));
    out.u8(f.wavelengths_f32 ? 1 : 0);
    for (double w : *f.wavelengths) {
      if (f.wavelengths_f32)
        out.f32(static_cast<float>(w));
      else
        out.f64(w);
    }
  }
}

FunctionDescription decode_function(ByteCursor& in) {
  uint64_t at = in.position();
  FunctionDescription f;
  uint8_t kind = in.u8("function kind");
  if (kind > 1) throw FormatError("unknown function kind " + std::to_string(kind), at);
  f.is_qual = kind == 1;
  f.detector =
      enum_code<DetectorType>(in.u8("detector type"), kMaxDetectorType, at + 1, "detector type");
  uint8_t flags = in.u8("function flags");
  check_mask(flags, 2, at + 2, "function description");
  if (!f.is_qual && (flags & 2))
    throw FormatError("a quan function carries a wavelength array", at);
  if (in.u8("function reserved byte") != 0)
    throw FormatError("reserved byte of a function description is not zero", at + 3);
  f.supplemental_properties = decode_properties(in);
  if (flags & 1) {
    // Smallest condition: its two-byte mask.
    uint64_t n = in.count(in.u32("condition count"), limits::kConditions, 2, "condition count");
    std::vector<AcquisitionConditionRecord> list;
    list.reserve(n);
    for (uint64_t i = 0; i < n; ++i) list.push_back(decode_condition(in));
    f.conditions = std::move(list);
  }
  if (flags & 2) {
    uint32_t n32 = in.u32("wavelength count");
    uint64_t type_at = in.position();
    uint8_t type = in.u8("wavelength type");
    if (type > 1) throw FormatError("unknown wavelength type " + std::to_string(type), type_at);
    f.wavelengths_f32 = type == 1;
    uint64_t n = in.count(n32, limits::kWavelengths, type == 1 ? 4 : 8, "wavelength count");
    std::vector<double> w(n);
    for (uint64_t i = 0; i < n; ++i) w[i] = type == 1 ? in.f32("wavelength") : in.f64("wavelength");
    f.wavelengths = std::move(w);
  }
  return f;
}

namespace {

// How each spectrum description field is stored (VORN_SPECTRUM_FIELDS).
struct F64 {
  static void put(ByteSink& out, double v) { out.f64(v); }
  static double get(ByteCursor& in, const char* what) { return in.f64(what); }
};
struct U32 {
  static void put(ByteSink& out, uint32_t v) { out.u32(v); }
  static uint32_t get(ByteCursor& in, const char* what) { return in.u32(what); }
};
struct I64 {
  static void put(ByteSink& out, int64_t v) { out.i64(v); }
  static int64_t get(ByteCursor& in, const char* what) { return in.i64(what); }
};
struct PolarityCode {
  static void put(ByteSink& out, Polarity v) { out.u8(static_cast<uint8_t>(v)); }
  static Polarity get(ByteCursor& in, const char* what) {
    return enum_code<Polarity>(in.u8(what), kMaxPolarity, in.position() - 1, what);
  }
};
struct SpectrumTypeCode {
  static void put(ByteSink& out, SpectrumType v) { out.u8(static_cast<uint8_t>(v)); }
  static SpectrumType get(ByteCursor& in, const char* what) {
    return enum_code<SpectrumType>(in.u8(what), kMaxSpectrumType, in.position() - 1, what);
  }
};
struct RangePair {
  static void put(ByteSink& out, const Range& r) { put_range(out, r); }
  static Range get(ByteCursor& in, const char* what) { return get_range(in, what); }
};
struct ProfileFlag {
  static void put(ByteSink& out, bool v) { out.u8(v ? 1 : 0); }
  static bool get(ByteCursor& in, const char* what) {
    uint64_t at = in.position();
    uint8_t b = in.u8(what);
    if (b > 1) throw FormatError(std::string(what) + " is neither 0 nor 1", at);
    return b == 1;
  }
};
struct PropertyTable {
  static void put(ByteSink& out, const Properties& p) { encode(out, p); }
  static Properties get(ByteCursor& in, const char*) { return decode_properties(in); }
};
struct Text {
  static void put(ByteSink& out, const std::string& v) { out.str(v); }
  static std::string get(ByteCursor& in, const char* what) { return in.str(what); }
};
// A count and as many 64-bit integers, the count within `Limit`.
template <uint64_t Limit, const char* CountWords>
struct IntList {
  static void put(ByteSink& out, const std::vector<int64_t>& v) {
    out.u32(static_cast<uint32_t>(v.size()));
    for (int64_t x : v) out.i64(x);
  }
  static std::vector<int64_t> get(ByteCursor& in, const char* what) {
    uint64_t n = in.count(in.u32(CountWords), Limit, 8, CountWords);
    std::vector<int64_t> v(n);
    for (uint64_t i = 0; i < n; ++i) v[i] = in.i64(what);
    return v;
  }
};
constexpr char kProductIndexCount[] = "product index count";
constexpr char kChargeStateCount[] = "possible charge state count";
using ProductIndexList = IntList<limits::kProductIndices, kProductIndexCount>;
using ChargeStateList = IntList<limits::kChargeStates, kChargeStateCount>;

}  // namespace

void encode(ByteSink& out, const SpectrumDescription& s) {
  MaskWriter mask;
#define VORN_FIELD(member, type, codec, words) mask.note(s.member);
  VORN_SPECTRUM_FIELDS(VORN_FIELD)
#undef VORN_FIELD
  out.u32(mask.mask());
#define VORN_FIELD(member, type, codec, words) \
  if (s.member) codec::put(out, *s.member);
  VORN_SPECTRUM_FIELDS(VORN_FIELD)
#undef VORN_FIELD
}

SpectrumDescription decode_spectrum(ByteCursor& in, uint16_t minor) {
  uint64_t at = in.position();
  uint32_t mask = in.u32("spectrum description");
  check_mask(mask, spectrum_description_fields(minor), at, "spectrum description");
  SpectrumDescription s;
  int bit = 0;
#define VORN_FIELD(member, type, codec, words) \
  if (mask & (1u << bit++)) s.member = codec::get(in, words);
  VORN_SPECTRUM_FIELDS(VORN_FIELD)
#undef VORN_FIELD
  return s;
}

}  // namespace vorn
