#include "container_writer.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <unordered_map>

#include "analysis/condition_ids.hpp"
#include "byte_sink.hpp"
#include "checksum.hpp"
#include "errors.hpp"
#include "file_sink.hpp"
#include "format.hpp"
#include "record_codec.hpp"
#include "record_limits.hpp"
#include "transform.hpp"
#include "zstd_codec.hpp"

namespace vorn {
namespace {

struct FunctionState {
  size_t measurement;
  bool dropped = false;
  FunctionSpec spec;
  ByteSink descriptions;
  uint32_t spectra = 0;
  std::vector<uint64_t> positions;
  std::vector<uint64_t> profile_positions;  // 0: none
  bool has_profile = false;
  // Derived conditions: distinct records in first-seen order, and per spectrum
  // its record and where its index goes in `descriptions`.
  analysis::ConditionIds derived;
  std::vector<uint32_t> spectrum_condition;
  std::vector<size_t> condition_index_at;
};

struct MeasurementState {
  MeasurementDescription description;
  std::vector<size_t> functions;
  bool finished = false;
  uint64_t block_position = 0;
};

std::optional<VendorType> vendor_from_properties(const SpectrumDescription& d) {
  if (!d.supplemental_properties) return std::nullopt;
  // The key order is the qual analysis's: first hit wins.
  static const std::pair<const char*, VendorType> keys[] = {
      {"FragmentorVoltage", VendorType::kAgilentMassHunter},
      {"In-SourceCID", VendorType::kThermoFisherRawFileReader},
      {"ConeVoltage", VendorType::kWatersMassLynx},
  };
  for (const auto& [key, type] : keys)
    for (const auto& entry : *d.supplemental_properties)
      if (entry.first == key) return type;
  return std::nullopt;
}

void check_points(FloatSpan x, FloatSpan intensity, const char* what) {
  if (intensity.size > limits::kPoints)
    throw UsageError(std::string(what) + " has more points than the format allows");
  if (x.data == nullptr) return;
  if (x.size != intensity.size)
    throw UsageError(std::string(what) + ": x and intensity arrays differ in length");
  for (size_t i = 0; i < x.size; ++i) {
    double v = x[i];
    if (std::isnan(v))
      throw UsageError(std::string(what) + ": x value " + std::to_string(i) + " is NaN");
    if (i && !(x[i - 1] <= v))
      throw UsageError(std::string(what) + ": x values must be ascending (value " +
                       std::to_string(i) + " is smaller than the one before)");
  }
}

void put_int64_array(ByteSink& out, const std::vector<int64_t>& v) {
  out.u32(static_cast<uint32_t>(v.size()));
  if (v.size() <= 16) {
    out.u8(0);
    for (int64_t x : v) out.i64(x);
    return;
  }
  out.u8(1);
  std::vector<uint64_t> delta(v.size());
  std::memcpy(delta.data(), v.data(), v.size() * 8);
  delta_encode(delta.data(), delta.size());
  std::vector<uint8_t> shuffled(v.size() * 8);
  shuffle_bytes<8>(reinterpret_cast<const uint8_t*>(delta.data()), shuffled.data(), v.size());
  std::vector<uint8_t> frame;
  zstd_compress_append(shuffled, 9, frame);
  out.u32(static_cast<uint32_t>(frame.size()));
  out.append(frame);
}

void put_buffer(ByteSink& out, BufferKind kind, uint32_t records, const std::vector<uint8_t>& raw,
                int level) {
  if (raw.size() > limits::kBufferRaw)
    throw UsageError(
        "the description records of one block exceed 1 GiB, the most a container "
        "file holds");
  std::vector<uint8_t> frame;
  zstd_compress_append(raw, level, frame);
  bool stored = frame.size() >= raw.size();
  out.u8(static_cast<uint8_t>(kind));
  out.u8(stored ? 0 : 1);
  out.u16(0);
  out.u32(records);
  out.u64(raw.size());
  out.u64(stored ? raw.size() : frame.size());
  out.append(stored ? std::span<const uint8_t>(raw) : std::span<const uint8_t>(frame));
}

}  // namespace

AcquisitionConditionRecord condition_of(const SpectrumDescription& d,
                                        const ConditionExtras& extras) {
  AcquisitionConditionRecord c;
  c.core.ms_level = d.ms_level;
  c.core.polarity = d.polarity;
  c.core.collision_energy = d.collision_energy;
  c.core.mass_range = d.mass_range;
  c.core.original_measured_spectrum_type = !d.is_profile_spectrum_measured ? SpectrumType::kUnknown
                                           : *d.is_profile_spectrum_measured
                                               ? SpectrumType::kProfile
                                               : SpectrumType::kCentroid;
  if (extras.vendor) {
    c.core.vendor = extras.vendor;
  } else if (d.cone_voltage) {
    if (auto type = vendor_from_properties(d)) {
      VendorCondition v;
      v.type = *type;
      v.cone_voltage = d.cone_voltage;
      c.core.vendor = v;
    }
  }
  c.core.triple_q = extras.triple_q;
  c.precursor_range = d.precursor_range;
  c.precursor_value = d.precursor_value;
  return c;
}

struct ContainerWriter::State {
  WriterOptions options;
  FileSink sink;
  std::vector<MeasurementState> measurements;
  std::vector<FunctionState> functions;
  bool finished = false;
  bool failed = false;

  State(std::string path, WriterOptions opts)
      : options(opts), sink(std::move(path), opts.overwrite) {}

  void require_open() const {
    if (finished) throw UsageError("the file is already finished");
    if (failed) throw UsageError("the file was abandoned after an error");
  }

  // Writes a block, returning its position. `body(origin)` builds the body once
  // the origin (first body byte) is known.
  template <typename F>
  uint64_t write_framed(Symbol begin, F&& body) {
    uint64_t position = sink.position();
    uint64_t origin = position + 16;
    ByteSink b;
    body(b, origin);
    ByteSink head;
    head.u32(static_cast<uint32_t>(begin));
    head.u32(crc32c(b.bytes().data(), b.size()));
    head.u64(b.size());
    sink.write(head.bytes());
    sink.write(b.bytes());
    ByteSink tail;
    tail.u32(matching_end(begin));
    sink.write(tail.bytes());
    return position;
  }

  uint64_t write_spectrum_index(FunctionState& f) {
    // Derived conditions are sorted now, and each spectrum's index patched.
    if (f.spec.is_qual && f.spec.detector == DetectorType::kMs &&
        f.spec.conditions == ConditionList::kDerive) {
      std::vector<AcquisitionConditionRecord> derived = f.derived.take_records();
      std::vector<uint32_t> order(derived.size());
      std::iota(order.begin(), order.end(), 0u);
      std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        return analysis::condition_sorts_before(derived[a], derived[b]);
      });
      std::vector<uint32_t> rank(order.size());
      for (uint32_t i = 0; i < order.size(); ++i) rank[order[i]] = i;
      for (size_t s = 0; s < f.spectrum_condition.size(); ++s)
        f.descriptions.patch<uint32_t>(f.condition_index_at[s], rank[f.spectrum_condition[s]]);
      std::vector<AcquisitionConditionRecord> sorted;
      sorted.reserve(order.size());
      for (uint32_t i : order) sorted.push_back(std::move(derived[i]));
      f.spec.explicit_conditions = std::move(sorted);
    }
    return write_framed(Symbol::BEGIN_OF_SPECTRUM_INDEX_BLOCK, [&](ByteSink& b, uint64_t origin) {
      b.u32(f.spectra);
      b.u8(f.has_profile ? 1 : 0);
      std::vector<int64_t> rel(f.spectra);
      for (size_t i = 0; i < f.spectra; ++i)
        rel[i] = static_cast<int64_t>(f.positions[i]) - static_cast<int64_t>(origin);
      put_int64_array(b, rel);
      if (f.has_profile) {
        for (size_t i = 0; i < f.spectra; ++i)
          rel[i] = static_cast<int64_t>(f.profile_positions[i]) - static_cast<int64_t>(origin);
        put_int64_array(b, rel);
      }
      put_buffer(b, BufferKind::kSpectra, f.spectra, f.descriptions.bytes(),
                 options.index_zstd_level);
    });
  }

  FunctionDescription description_of(const FunctionState& f) const {
    FunctionDescription d;
    d.is_qual = f.spec.is_qual;
    d.detector = f.spec.detector;
    d.supplemental_properties = f.spec.supplemental_properties;
    if (f.spec.is_qual && f.spec.detector == DetectorType::kMs &&
        f.spec.conditions != ConditionList::kNone)
      d.conditions = f.spec.explicit_conditions;
    d.wavelengths = f.spec.wavelengths;
    d.wavelengths_f32 = f.spec.wavelengths_f32;
    return d;
  }

  void finish_measurement(size_t m) {
    MeasurementState& ms = measurements[m];
    if (ms.finished) return;
    std::erase_if(ms.functions, [&](size_t fi) { return functions[fi].dropped; });
    std::vector<uint64_t> blocks;
    for (size_t fi : ms.functions) blocks.push_back(write_spectrum_index(functions[fi]));
    ms.block_position =
        write_framed(Symbol::BEGIN_OF_FUNCTION_INDEX_BLOCK, [&](ByteSink& b, uint64_t origin) {
          uint32_t n = static_cast<uint32_t>(ms.functions.size());
          if (n >= 0xFFFF) {
            b.u16(0xFFFF);
            b.u32(n);
          } else {
            b.u16(static_cast<uint16_t>(n));
          }
          std::vector<int64_t> rel;
          for (uint64_t p : blocks)
            rel.push_back(static_cast<int64_t>(p) - static_cast<int64_t>(origin));
          put_int64_array(b, rel);
          ByteSink raw;
          for (size_t fi : ms.functions) encode(raw, description_of(functions[fi]));
          put_buffer(b, BufferKind::kFunctions, n, raw.bytes(), options.index_zstd_level);
        });
    ms.finished = true;
    // The index data is on disk; the per-spectrum bookkeeping can go.
    for (size_t fi : ms.functions) {
      FunctionState& f = functions[fi];
      f.descriptions = ByteSink();
      f.positions = {};
      f.profile_positions = {};
      f.derived = {};
      f.spectrum_condition = {};
      f.condition_index_at = {};
    }
  }
};

ContainerWriter::ContainerWriter(std::string path, WriterOptions options)
    : state_(std::make_unique<State>(std::move(path), options)) {
  ByteSink header;
  header.append({reinterpret_cast<const uint8_t*>(kHeaderMagic), 8});
  header.u16(kFormatMajor);
  header.u16(kFormatMinor);
  header.u16(kFormatRevision);
  header.u16(0);
  for (int i = 0; i < 12; ++i) header.u8(0);
  header.u32(crc32c(header.bytes().data(), 28));
  state_->sink.write(header.bytes());
}

ContainerWriter::~ContainerWriter() = default;

size_t ContainerWriter::add_measurement(MeasurementDescription description) {
  state_->require_open();
  if (state_->measurements.size() >= limits::kMeasurements)
    throw UsageError("too many measurements for one file");
  check_limits(description);
  state_->measurements.push_back({std::move(description), {}, false, 0});
  return state_->measurements.size() - 1;
}

size_t ContainerWriter::add_function(size_t measurement, FunctionSpec spec) {
  State& s = *state_;
  s.require_open();
  if (measurement >= s.measurements.size()) throw UsageError("no such measurement");
  MeasurementState& m = s.measurements[measurement];
  if (m.finished) throw UsageError("the measurement is already finished");
  if (m.functions.size() >= limits::kFunctions - 1)
    throw UsageError("too many functions for one measurement");
  if (spec.wavelengths && (!spec.is_qual || spec.wavelengths->size() > limits::kWavelengths))
    throw UsageError("wavelengths belong to diode-array functions (at most 1,048,576)");
  if (spec.explicit_conditions.size() > limits::kConditions)
    throw UsageError("too many acquisition conditions for one function");
  check_properties(spec.supplemental_properties, "function supplemental properties");
  for (const auto& c : spec.explicit_conditions) check_limits(c, "acquisition condition");
  FunctionState f;
  f.measurement = measurement;
  f.spec = std::move(spec);
  s.functions.push_back(std::move(f));
  m.functions.push_back(s.functions.size() - 1);
  return s.functions.size() - 1;
}

size_t ContainerWriter::add_spectrum(size_t function, const SpectrumInput& in) {
  State& s = *state_;
  s.require_open();
  if (function >= s.functions.size()) throw UsageError("no such function");
  FunctionState& f = s.functions[function];
  if (s.measurements[f.measurement].finished)
    throw UsageError("the function's measurement is already finished");
  if (f.spectra >= limits::kSpectra) throw UsageError("too many spectra for one function");
  const bool derive = f.spec.is_qual && f.spec.detector == DetectorType::kMs &&
                      f.spec.conditions == ConditionList::kDerive;
  SpectrumDescription d = in.description;
  // A retention time that is not finite is no time; readers could neither
  // order nor compare it. Unknown times are left out instead.
  if (d.retention_time && !std::isfinite(*d.retention_time))
    throw UsageError("retention time " + std::to_string(*d.retention_time) +
                     " is not a finite number; leave it out (None) when it is unknown");
  if (f.spec.conditions == ConditionList::kExplicit) {
    if (!d.acquisition_condition_index ||
        *d.acquisition_condition_index >= f.spec.explicit_conditions.size())
      throw UsageError("each spectrum needs an acquisition condition index below " +
                       std::to_string(f.spec.explicit_conditions.size()));
  } else if (derive) {
    d.acquisition_condition_index = 0;  // patched when the index is written
  }
  if (in.x.data == nullptr && !f.spec.wavelengths)
    throw UsageError("a spectrum needs x values unless its function has wavelengths");
  if (in.x.data == nullptr && f.spec.wavelengths && in.intensity.size != f.spec.wavelengths->size())
    throw UsageError("a diode-array spectrum needs one value per wavelength (" +
                     std::to_string(f.spec.wavelengths->size()) + ")");
  check_points(in.x, in.intensity, "spectrum");
  if (in.profile_x.has_value() != in.profile_intensity.has_value())
    throw UsageError("a profile spectrum needs both x and intensity arrays");
  if (in.profile_x) check_points(*in.profile_x, *in.profile_intensity, "profile spectrum");
  check_limits(d);

  std::vector<uint8_t> block;
  encode_spectrum_block(in.x, in.intensity, s.options.encoding, block);
  uint64_t position = s.sink.position();
  uint64_t profile_position = 0;
  if (in.profile_x) {
    profile_position = position + block.size();
    encode_spectrum_block(*in.profile_x, *in.profile_intensity,
                          s.options.profile_encoding.value_or(s.options.encoding), block);
  }

  ByteSink record;
  encode(record, d);
  if (f.descriptions.size() + record.size() > limits::kBufferRaw)
    throw UsageError(
        "the spectrum descriptions of one function exceed 1 GiB, the most a "
        "container file holds");
  if (derive) {
    AcquisitionConditionRecord c = condition_of(d, in.extras);
    check_limits(c, "acquisition condition");
    uint32_t id = f.derived.find_record(c);
    if (id == analysis::ConditionIds::kNone) {
      if (f.derived.size() >= limits::kConditions)
        throw UsageError("too many distinct acquisition conditions for one function");
      id = f.derived.add_record(std::move(c));
    }
    f.spectrum_condition.push_back(id);
    // The index follows the mask and, when present, the retention time.
    f.condition_index_at.push_back(f.descriptions.size() + 4 + (d.retention_time ? 8 : 0));
  }
  s.sink.write(block);
  f.descriptions.append(record.bytes());
  f.positions.push_back(position);
  f.profile_positions.push_back(profile_position);
  f.has_profile |= profile_position != 0;
  return f.spectra++;
}

void ContainerWriter::drop_function(size_t function) {
  state_->require_open();
  if (function >= state_->functions.size()) throw UsageError("no such function");
  FunctionState& f = state_->functions[function];
  if (state_->measurements[f.measurement].finished)
    throw UsageError("the function's measurement is already finished");
  f.dropped = true;
}

void ContainerWriter::finish_measurement(size_t measurement) {
  state_->require_open();
  if (measurement >= state_->measurements.size()) throw UsageError("no such measurement");
  try {
    state_->finish_measurement(measurement);
  } catch (...) {
    state_->failed = true;
    throw;
  }
}

void ContainerWriter::finish() {
  finish_unpublished();
  publish();
}

void ContainerWriter::publish() {
  State& s = *state_;
  if (!s.finished) throw UsageError("the file is not finished");
  try {
    s.sink.publish();
  } catch (...) {
    s.sink.discard();
    s.finished = false;  // nothing appeared under the name
    s.failed = true;
    throw;
  }
}

void ContainerWriter::finish_unpublished() {
  State& s = *state_;
  s.require_open();
  try {
    for (size_t m = 0; m < s.measurements.size(); ++m) s.finish_measurement(m);
    uint64_t jump = s.write_framed(Symbol::BEGIN_OF_JUMP_TABLE, [&](ByteSink& b, uint64_t origin) {
      b.u16(kFormatMajor);
      b.u16(kFormatMinor);
      b.u16(kFormatRevision);
      for (uint16_t v : s.options.converter_version) b.u16(v);
      b.u32(static_cast<uint32_t>(s.measurements.size()));
      std::vector<int64_t> rel;
      for (const auto& m : s.measurements)
        rel.push_back(static_cast<int64_t>(m.block_position) - static_cast<int64_t>(origin));
      put_int64_array(b, rel);
      ByteSink raw;
      for (const auto& m : s.measurements) encode(raw, m.description);
      put_buffer(b, BufferKind::kMeasurements, static_cast<uint32_t>(s.measurements.size()),
                 raw.bytes(), s.options.index_zstd_level);
    });
    ByteSink trailer;
    trailer.append({reinterpret_cast<const uint8_t*>(kTrailerMagic), 8});
    trailer.u64(jump);
    trailer.u64(s.sink.position() + kTrailerSize);
    trailer.u32(0);
    trailer.u32(crc32c(trailer.bytes().data(), 28));
    s.sink.write(trailer.bytes());
    s.sink.complete();
    s.finished = true;
  } catch (...) {
    s.failed = true;
    s.sink.discard();
    throw;
  }
}

void ContainerWriter::abandon() {
  state_->sink.discard();
  if (!state_->finished) state_->failed = true;
}

bool ContainerWriter::finished() const {
  return state_->finished;
}
uint64_t ContainerWriter::bytes_written() const {
  return state_->sink.position();
}
const std::string& ContainerWriter::path() const {
  return state_->sink.path();
}
const std::string& ContainerWriter::temp_path() const {
  return state_->sink.temp_path();
}

size_t ContainerWriter::function_spectrum_count(size_t function) const {
  if (function >= state_->functions.size()) throw UsageError("no such function");
  return state_->functions[function].spectra;
}

}  // namespace vorn
