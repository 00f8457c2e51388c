#include "measurement_builder.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <numeric>
#include <stdexcept>

#include "centroid.hpp"
#include "vorn_core/analysis/peak_summary.hpp"
#include "vorn_core/errors.hpp"

namespace zelc {
namespace {

using vorn::FloatArray;
using vorn::FloatSpan;

// The writer reads a null x as "intensities only": an empty array still
// points somewhere.
FloatSpan span(const FloatArray& a) {
  static const double kNothing = 0;
  return {a.size() ? a.data() : &kNothing, a.size(), a.is_f32()};
}

// Points in ascending x without NaN x, as the container requires; sorting is
// stable, so points with equal x keep their order. Returns how many points
// with a NaN x were left out. The arrays have the same length.
size_t tidy(FloatArray& x, FloatArray& y) {
  const size_t n = x.size();
  bool sorted = true, clean = true;
  x.visit([&](const auto& v) {
    for (size_t i = 0; i < n; ++i) {
      if (std::isnan(v[i])) clean = false;
      if (i && !(v[i - 1] <= v[i])) sorted = false;
    }
  });
  if (sorted && clean) return 0;
  std::vector<size_t> order;
  for (size_t i = 0; i < n; ++i)
    if (!std::isnan(x[i])) order.push_back(i);
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return x[a] < x[b]; });
  auto pick = [&](const FloatArray& a) {
    if (a.is_f32()) {
      std::vector<float> v;
      for (size_t i : order) v.push_back(a.f32()[i]);
      return FloatArray(std::move(v));
    }
    std::vector<double> v;
    for (size_t i : order) v.push_back(a.f64()[i]);
    return FloatArray(std::move(v));
  };
  x = pick(x);
  y = pick(y);
  return n - order.size();
}

// Minutes per unit of a time parameter or array ("second", "UO:0000010" ...).
double minutes_per(const std::string& accession, const std::string& name) {
  if (accession == "UO:0000010" || name == "second") return 1.0 / 60.0;
  if (accession == "UO:0000028" || name == "millisecond") return 1.0 / 60000.0;
  if (accession == "UO:0000032" || name == "hour") return 60.0;
  return 1.0;  // minutes, and times without a unit
}

// Times in minutes, at the precision they came in.
void to_minutes(FloatArray& t, double factor) {
  if (factor == 1.0) return;
  if (t.is_f32())
    for (float& v : t.f32()) v = static_cast<float>(static_cast<double>(v) * factor);
  else
    for (double& v : t.f64()) v *= factor;
}

// A parameter holding a whole number, such as a charge state.
std::optional<int64_t> whole_number(const Param* p) {
  if (!p || p->value.empty()) return std::nullopt;
  double v = parse_number(p->value, "parameter '" + p->name + "'");
  if (!(std::fabs(v) < 9.0e15) || v != std::floor(v))
    throw std::runtime_error("parameter '" + p->name + "' is not a whole number: '" +
                             p->value.substr(0, 40) + "'");
  return static_cast<int64_t>(v);
}

std::string joined(const std::vector<std::string>& items) {
  std::string out;
  for (const auto& item : items) out += (out.empty() ? "" : ", ") + item;
  return out;
}

// A spectrum's or chromatogram's arrays must pair up: refuses a missing or
// shorter one, naming the record.
void check_pair(const char* kind, const std::string& id, const char* x_name, bool has_x,
                const FloatArray& x, bool has_y, const FloatArray& y) {
  auto refuse = [&](const std::string& what) {
    throw std::runtime_error(std::string(kind) + " '" + id.substr(0, 200) + "': " + what);
  };
  if (has_x && has_y) {
    if (x.size() != y.size())
      refuse(std::string("its ") + x_name + " array has " + std::to_string(x.size()) +
             " values but its intensity array has " + std::to_string(y.size()));
  } else if (has_x && x.size()) {
    refuse(std::string("it has ") + x_name + " values but no intensity array");
  } else if (has_y && y.size()) {
    refuse(std::string("it has intensities but no ") + x_name + " array");
  }
}

std::optional<int64_t> id_number(const std::string& id, const char* key) {
  std::string k = std::string(key) + "=";
  size_t at = id.find(k);
  if (at == std::string::npos || (at > 0 && id[at - 1] != ' ')) return std::nullopt;
  try {
    return std::stoll(id.substr(at + k.size()));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// "sid=35.00" in a Thermo scan filter: the source-induced dissociation voltage.
std::optional<double> sid_of(const std::string& filter) {
  size_t at = filter.find("sid=");
  if (at == std::string::npos) return std::nullopt;
  try {
    return std::stod(filter.substr(at + 4));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

struct Vendor {
  const char* accession;
  const char* manufacturer;
};

// Instrument model terms (and vendor groups) that name their manufacturer.
constexpr Vendor kModels[] = {
    {"MS:1000483", "Thermo Fisher Scientific"},
    {"MS:1000492", "Thermo Fisher Scientific"},
    {"MS:1000448", "Thermo Fisher Scientific"},
    {"MS:1001911", "Thermo Fisher Scientific"},
    {"MS:1002416", "Thermo Fisher Scientific"},
    {"MS:1000449", "Thermo Fisher Scientific"},
    {"MS:1000126", "Waters"},
    {"MS:1000490", "Agilent"},
    {"MS:1000121", "SCIEX"},
    {"MS:1000495", "SCIEX"},
    {"MS:1000139", "SCIEX"},
    {"MS:1000124", "Shimadzu"},
    {"MS:1000122", "Bruker"},
};

void put(vorn::Properties& p, const std::string& key, vorn::PropertyValue value) {
  for (auto& [k, v] : p)
    if (k == key) {
      v = std::move(value);
      return;
    }
  p.emplace_back(key, std::move(value));
}

// A parameter value as a property: a number when it reads as one.
vorn::PropertyValue property_value(const std::string& text) {
  if (text.empty()) return std::monostate{};
  char* end = nullptr;
  double v = std::strtod(text.c_str(), &end);
  if (end && *end == '\0') return v;
  return text;
}

}  // namespace

std::string sample_name_of(const std::string& path) {
  std::string name = path.substr(path.find_last_of("/\\") + 1);
  auto strip = [&](const char* extension) {
    const size_t n = std::strlen(extension);
    if (name.size() <= n) return false;
    for (size_t i = 0; i < n; ++i)
      if (std::tolower(static_cast<unsigned char>(name[name.size() - n + i])) != extension[i])
        return false;
    name.resize(name.size() - n);
    return true;
  };
  strip(".gz");
  strip(".mzml") || strip(".mzxml") || strip(".xml");
  return name;
}

MeasurementBuilder::MeasurementBuilder(vorn::ContainerWriter& writer, const Options& options,
                                       const std::string& source_path, Counts& counts)
    : writer_(writer), options_(options), source_path_(source_path), counts_(counts) {}

void MeasurementBuilder::begin(const RunInfo& run) {
  run_ = run;
  triple_quad_ = run.quadrupoles >= 2;
  vorn::MeasurementDescription d;
  d.sample_name = !run.sample_name.empty() ? run.sample_name : sample_name_of(source_path_);
  if (!run.sample_id.empty()) d.sample_id = run.sample_id;
  if (!run.source_files.empty()) {
    const SourceFile& f = run.source_files.front();
    if (const Param* sha = f.params.find("MS:1000569")) d.hash = sha->value;
    std::string location = f.location;
    if (location.rfind("file://", 0) == 0) location = location.substr(7);
    if (!location.empty() && location.back() != '/' && location.back() != '\\') location += '/';
    d.original_file_path = location + f.name;
  }
  std::string model = run.model, manufacturer = run.manufacturer;
  if (const Param* user = run.instrument.find_name("instrument model");
      user && !user->value.empty())
    model = user->value;
  for (const Param& p : run.instrument.items)
    for (const Vendor& v : kModels)
      if (p.accession == v.accession) {
        if (model.empty()) model = p.name;
        if (manufacturer.empty()) manufacturer = v.manufacturer;
      }
  if (!model.empty()) d.instrument_product_name = model;
  if (!manufacturer.empty()) d.instrument_manufacturer = manufacturer;
  if (const Param* contact = run.contact.find("MS:1000586"))
    d.measurement_user_name = contact->value;
  if (!run.start_time.empty() && run.format.rfind("mzML", 0) == 0)
    d.measurement_date_time = run.start_time;
  d.source_file_definition = run.format;
  vorn::Properties props;
  put(props, "SourceFile", source_path_);
  if (!run.run_id.empty()) put(props, "RunId", run.run_id);
  if (const Param* serial = run.instrument.find("MS:1000529"))
    put(props, "InstrumentSerialNumber", serial->value);
  for (const Param& p : run.run_params.items)
    if (p.accession.empty() && !p.name.empty()) put(props, p.name, property_value(p.value));
  d.supplemental_properties = std::move(props);
  measurement_ = writer_.add_measurement(std::move(d));
  ++counts_.measurements;
}

void MeasurementBuilder::spectrum(RawSpectrum&& s) {
  expand_params(s);
  decode_arrays(s);
  const bool dad = s.absorbance || s.params.has("MS:1000804") || s.params.has("MS:1000806");
  check_pair("spectrum", s.id, dad ? "wavelength" : "m/z", s.has_x, s.x, s.has_intensity,
             s.intensity);
  if (dad) {
    if (options_.keeps_dad())
      dad_spectrum(std::move(s));
    else
      ++counts_.dad_spectra;
  } else if (options_.keeps_qual()) {
    ms_spectrum(std::move(s));
  } else {
    ++counts_.mass_spectra;
  }
}

std::optional<double> MeasurementBuilder::retention_time(const RawSpectrum& s) {
  const Param* rt = s.scan.find("MS:1000016");
  if (!rt) return std::nullopt;
  double v =
      parse_number(rt->value, "scan start time") * minutes_per(rt->unit_accession, rt->unit_name);
  if (std::isfinite(v)) return v;
  ++counts_.unknown_times;  // kept as unknown: a container holds finite times only
  return std::nullopt;
}

void MeasurementBuilder::count_other_arrays(const std::vector<std::string>& names) {
  for (const std::string& name : names) ++counts_.other_arrays[name];
}

// The writer's refusals (a text beyond the format's limits ...) name the
// spectrum or trace they concern.
size_t MeasurementBuilder::add_spectrum(size_t function, const vorn::SpectrumInput& in,
                                        const std::string& id, const char* what) {
  try {
    return writer_.add_spectrum(function, in);
  } catch (const vorn::UsageError& e) {
    throw std::runtime_error(std::string(what) + " '" + id.substr(0, 200) + "': " + e.what());
  }
}

void MeasurementBuilder::ms_spectrum(RawSpectrum&& s) {
  vorn::SpectrumDescription d;
  if (auto level = s.params.number("MS:1000511"))
    d.ms_level = static_cast<int64_t>(*level);
  else if (s.params.has("MS:1000579"))
    d.ms_level = 1;
  if (options_.ms1_only && d.ms_level.value_or(1) != 1) {
    ++counts_.msn_spectra;
    return;
  }
  counts_.nan_points += tidy(s.x, s.intensity);
  count_other_arrays(s.other_arrays);

  const int64_t waters_function = id_number(s.id, "function").value_or(0);
  auto [it, added] = ms_functions_.try_emplace(waters_function);
  MsFunction& fn = it->second;
  if (added) {
    vorn::FunctionSpec spec;
    if (waters_function)
      spec.supplemental_properties.emplace_back("WatersFunction", waters_function);
    fn.id = writer_.add_function(measurement_, std::move(spec));
    ++counts_.qual;
  }

  d.retention_time = retention_time(s);
  if (s.params.has("MS:1000130")) d.polarity = vorn::Polarity::kPositive;
  if (s.params.has("MS:1000129")) d.polarity = vorn::Polarity::kNegative;
  if (s.scan_window) d.mass_range = vorn::Range{s.scan_window->first, s.scan_window->second};
  std::optional<vorn::Range> precursor_window;
  if (!s.precursors.empty()) {
    const Precursor& p = s.precursors.front();
    d.collision_energy = p.activation.number("MS:1000045");
    d.precursor_value = p.selected_ion.number("MS:1000744");
    if (!d.precursor_value) d.precursor_value = p.selected_ion.number("MS:1000040");
    auto target = p.isolation.number("MS:1000827");
    auto lower = p.isolation.number("MS:1000828"), upper = p.isolation.number("MS:1000829");
    if (!target) target = d.precursor_value;
    if (target && lower && upper)
      d.precursor_range = vorn::Range{*target - *lower, *target + *upper};
    if (!d.precursor_value) d.precursor_value = target;
    if (auto found = fn.index_of.find(p.spectrum_ref); found != fn.index_of.end())
      d.precursor_index = found->second;
    d.precursor_charge = whole_number(p.selected_ion.find("MS:1000041"));
    std::vector<int64_t> possible;
    for (const Param& q : p.selected_ion.items)
      if (q.accession == "MS:1000633") possible.push_back(*whole_number(&q));
    if (!possible.empty()) d.possible_charge_states = std::move(possible);
    d.precursor_intensity = p.selected_ion.number("MS:1000042");
    if (!p.methods.empty()) d.activation_method = joined(p.methods);
    d.isolation_window_target = p.isolation.number("MS:1000827");
    d.isolation_window_lower_offset = lower;
    d.isolation_window_upper_offset = upper;
    if (s.precursors.size() > 1) ++counts_.later_precursors;
  }
  if (const Param* injection = s.scan.find("MS:1000927"); injection && !injection->value.empty())
    d.ion_injection_time = parse_number(injection->value, "ion injection time") *
                           (injection->unit_accession == "UO:0000010" ? 1000.0 : 1.0);
  const bool profile = s.params.has("MS:1000128");
  if (profile || s.params.has("MS:1000127")) {
    d.spectrum_type = vorn::SpectrumType::kCentroid;
    d.is_profile_spectrum_measured = profile;
  }
  d.current_total_ion = s.params.number("MS:1000285");
  d.base_peak_mz = s.params.number("MS:1000504");
  d.base_peak_intensity = s.params.number("MS:1000505");

  vorn::Properties props;
  put(props, "NativeId", s.id);
  vorn::ConditionExtras extras;
  const std::string filter = s.scan.find("MS:1000512") ? s.scan.find("MS:1000512")->value : "";
  if (!filter.empty()) put(props, "ScanFilter", filter);
  if (s.id.find("controllerType=") != std::string::npos) {
    vorn::VendorCondition v;
    v.type = vorn::VendorType::kThermoFisherRawFileReader;
    if (!filter.empty()) v.scan_info_string = filter;
    if (auto sid = sid_of(filter)) {
      v.cone_voltage = d.cone_voltage = sid;
      put(props, "In-SourceCID", *sid);
    }
    extras.vendor = v;
  } else if (waters_function) {
    vorn::VendorCondition v;
    v.type = vorn::VendorType::kWatersMassLynx;
    v.original_id = waters_function;
    extras.vendor = v;
  } else if (auto experiment = id_number(s.id, "experiment")) {
    vorn::VendorCondition v;
    v.type = vorn::VendorType::kSciexAnalyst;
    v.original_id = experiment;
    extras.vendor = v;
  }
  // Scan modes of a triple quadrupole.
  std::optional<vorn::TripleQScanType> scan_type;
  if (s.params.has("MS:1000341"))
    scan_type = vorn::TripleQScanType::kPrecursor;
  else if (s.params.has("MS:1000326"))
    scan_type = vorn::TripleQScanType::kNeutralLoss;
  else if (s.params.has("MS:1000325"))
    scan_type = vorn::TripleQScanType::kNeutralGain;
  else if (triple_quad_ && d.ms_level.value_or(1) == 2 && d.precursor_value)
    scan_type = vorn::TripleQScanType::kProduct;
  if (scan_type) {
    vorn::TripleQScan t;
    t.type = *scan_type;
    t.target_mz = d.precursor_value;
    if (*scan_type == vorn::TripleQScanType::kProduct)
      t.q3_range = d.mass_range;
    else
      t.q1_range = d.mass_range;
    extras.triple_q = t;
  }
  d.supplemental_properties = std::move(props);

  FloatArray x = std::move(s.x), y = std::move(s.intensity);
  FloatArray px, py;
  if (profile) {
    centroid(x, y, px, py);
    std::swap(x, px);
    std::swap(y, py);  // x/y: centroids, px/py: the profile
    if (!options_.keep_profile) ++fn.centroids_only;
  }
  vorn::analysis::fill_peak_summary(
      d, span(x), span(y), nullptr,
      {!d.current_total_ion, !d.base_peak_mz, !d.base_peak_intensity});
  vorn::SpectrumInput in;
  in.description = std::move(d);
  in.x = span(x);
  in.intensity = span(y);
  if (profile && options_.keep_profile) {
    in.profile_x = span(px);
    in.profile_intensity = span(py);
  }
  in.extras = std::move(extras);
  size_t index = add_spectrum(fn.id, in, s.id, "spectrum");
  fn.index_of.emplace(s.id, static_cast<int64_t>(index));
  ++counts_.spectra;
}

void MeasurementBuilder::dad_spectrum(RawSpectrum&& s) {
  counts_.nan_points += tidy(s.x, s.intensity);
  count_other_arrays(s.other_arrays);
  if (!dad_function_) {
    vorn::FunctionSpec spec;
    spec.detector = vorn::DetectorType::kDiodeArray;
    // The first spectrum's wavelengths serve all that share them; when it is
    // empty, every spectrum keeps its own.
    if (s.x.size()) {
      std::vector<double> w(s.x.size());
      for (size_t i = 0; i < w.size(); ++i) w[i] = s.x[i];
      spec.wavelengths = std::move(w);
      spec.wavelengths_f32 = s.x.is_f32();
      wavelengths_ = s.x;
    }
    dad_function_ = writer_.add_function(measurement_, std::move(spec));
    ++counts_.dad;
  }
  bool same =
      wavelengths_ && wavelengths_->size() == s.x.size() &&
      wavelengths_->is_f32() == s.x.is_f32() &&
      std::memcmp(wavelengths_->data(), s.x.data(), s.x.size() * (s.x.is_f32() ? 4 : 8)) == 0;
  vorn::SpectrumInput in;
  in.description.retention_time = retention_time(s);
  in.description.spectrum_type = vorn::SpectrumType::kProfile;
  vorn::Properties props;
  put(props, "NativeId", s.id);
  in.description.supplemental_properties = std::move(props);
  if (!same) in.x = span(s.x);  // a spectrum with wavelengths of its own
  in.intensity = span(s.intensity);
  add_spectrum(*dad_function_, in, s.id, "spectrum");
  ++counts_.spectra;
}

size_t MeasurementBuilder::trace_function(bool quan) {
  std::optional<size_t>& f = quan ? quan_function_ : analog_function_;
  if (!f) {
    vorn::FunctionSpec spec;
    spec.is_qual = false;
    spec.detector = quan ? vorn::DetectorType::kMs : vorn::DetectorType::kAnalog;
    f = writer_.add_function(measurement_, std::move(spec));
    ++(quan ? counts_.quan : counts_.analog);
  }
  return *f;
}

void MeasurementBuilder::chromatogram(RawChromatogram&& c) {
  decode_arrays(c);
  check_pair("chromatogram", c.id, "time", c.has_time, c.time, c.has_intensity, c.intensity);
  const bool srm = c.params.has("MS:1001473"), sim = c.params.has("MS:1001472");
  const bool quan = srm || sim;
  if (quan && !options_.keeps_quan()) {
    ++counts_.quan_traces;
    return;
  }
  if ((srm && !options_.keeps_srm()) || (sim && !options_.keeps_sim())) {
    ++(srm ? counts_.srm_traces : counts_.sim_traces);
    return;
  }
  if (!quan && !options_.keeps_analog()) {
    ++counts_.analog_traces;
    return;
  }
  counts_.nan_points += tidy(c.time, c.intensity);
  count_other_arrays(c.other_arrays);
  // Times in minutes, as spectra have them; the unit they came in is kept.
  to_minutes(c.time, minutes_per("", c.time_unit));
  vorn::SpectrumDescription d;
  vorn::Properties props;
  put(props, "NativeId", c.id);
  put(props, "TimeUnit", c.time_unit);
  // Every trace keeps its precursor and product (an SRM's Q1 and Q3, an MS1
  // precursor's trace), collision energy and polarity.
  d.precursor_value = c.precursor.number("MS:1000827");
  if (auto product = c.product.number("MS:1000827")) put(props, "ProductMz", *product);
  d.collision_energy = c.activation.number("MS:1000045");
  if (c.params.has("MS:1000130")) d.polarity = vorn::Polarity::kPositive;
  if (c.params.has("MS:1000129")) d.polarity = vorn::Polarity::kNegative;
  if (quan) {
    put(props, "Kind", srm ? "SRM" : "SIM");
  } else if (c.params.has("MS:1000235")) {
    put(props, "Kind", "TIC");
  } else if (c.params.has("MS:1000628")) {
    put(props, "Kind", "BPC");
  } else {
    for (const Param& p : c.params.items)
      if (!p.accession.empty()) {
        put(props, "Kind", p.name);
        break;
      }
  }
  for (const Param& p : c.params.items)
    if (p.accession.empty() && !p.name.empty()) put(props, p.name, property_value(p.value));
  d.supplemental_properties = std::move(props);
  vorn::SpectrumInput in;
  in.description = std::move(d);
  in.x = span(c.time);
  in.intensity = span(c.intensity);
  add_spectrum(trace_function(quan), in, c.id, "chromatogram");
  ++counts_.traces;
}

void MeasurementBuilder::finish() {
  // Waters data: the last function is the lock-mass reference.
  const bool drop_last = !options_.keep_last_ms_function && ms_functions_.size() >= 2 &&
                         ms_functions_.rbegin()->first > 0;
  for (const auto& [number, fn] : ms_functions_)
    if (!(drop_last && number == ms_functions_.rbegin()->first))
      counts_.profile_points += fn.centroids_only;
  if (drop_last) {
    const size_t id = ms_functions_.rbegin()->second.id;
    counts_.spectra -= writer_.function_spectrum_count(id);
    counts_.waters_reference += writer_.function_spectrum_count(id);
    writer_.drop_function(id);
    --counts_.qual;
  }
  writer_.finish_measurement(measurement_);
}

}  // namespace zelc
