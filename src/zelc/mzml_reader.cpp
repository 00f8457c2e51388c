#include "mzml_reader.hpp"

#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string_view>

#include "binary_array.hpp"
#include "binary_texts.hpp"
#include "xml_stream.hpp"

namespace zelc {

double parse_number(const std::string& text, const std::string& what) {
  const char* begin = text.c_str();
  char* end = nullptr;
  double v = std::strtod(begin, &end);
  while (end && (*end == ' ' || *end == '\t' || *end == '\n' || *end == '\r')) ++end;
  if (end == begin || !end || *end != '\0')
    throw std::runtime_error(what + " is not a number: '" + text.substr(0, 40) + "'");
  return v;
}

std::optional<double> Params::number(const char* accession) const {
  const Param* p = find(accession);
  if (!p || p->value.empty()) return std::nullopt;
  return parse_number(p->value, "parameter '" + p->name + "'");
}

namespace {

// The pieces of one binary data array.
struct RawArray {
  Params params;
  std::string base64;
};

ArrayEncoding encoding_of(const Params& p) {
  ArrayEncoding e;
  if (p.has("MS:1000521")) e.bits = 32;
  if (p.has("MS:1000519")) e.bits = 32, e.integer = true;
  if (p.has("MS:1000522")) e.bits = 64, e.integer = true;
  if (p.has("MS:1000574")) e.compression = Compression::kZlib;
  if (p.has("MS:1002312")) e.compression = Compression::kNumpressLinear;
  if (p.has("MS:1002313")) e.compression = Compression::kNumpressPic;
  if (p.has("MS:1002314")) e.compression = Compression::kNumpressSlof;
  if (p.has("MS:1002746"))
    e.compression = Compression::kNumpressLinear, e.zlib_after_numpress = true;
  if (p.has("MS:1002747")) e.compression = Compression::kNumpressPic, e.zlib_after_numpress = true;
  if (p.has("MS:1002748")) e.compression = Compression::kNumpressSlof, e.zlib_after_numpress = true;
  return e;
}

enum class ArrayRole { kMz, kIntensity, kWavelength, kTime, kOther };

ArrayRole role_of(const Params& p) {
  if (p.has("MS:1000514")) return ArrayRole::kMz;
  if (p.has("MS:1000515")) return ArrayRole::kIntensity;
  if (p.has("MS:1000617")) return ArrayRole::kWavelength;
  if (p.has("MS:1000595")) return ArrayRole::kTime;
  return ArrayRole::kOther;
}

// What an array that is not kept holds, for the report: its array term
// ("mean inverse reduced ion mobility array"), the name a "non-standard data
// array" gives, or its first userParam.
std::string array_name(const Params& p) {
  if (const Param* other = p.find("MS:1000786"); other && !other->value.empty())
    return other->value;
  for (const Param& q : p.items)
    if (!q.accession.empty() && q.name.size() > 6 && q.name.ends_with(" array")) return q.name;
  for (const Param& q : p.items)
    if (q.accession.empty() && !q.name.empty()) return q.name;
  return "unnamed";
}

// The time unit of a chromatogram's time array: its PSI unit name.
std::string time_unit_of(const Param& p) {
  if (p.unit_accession == "UO:0000010") return "second";
  if (p.unit_accession == "UO:0000031" || p.unit_accession == "MS:1000038") return "minute";
  if (p.unit_accession == "UO:0000032") return "hour";
  if (p.unit_accession == "UO:0000028") return "millisecond";
  if (!p.unit_name.empty()) return p.unit_name;
  return "minute";
}

class MzmlHandler : public XmlHandler {
 public:
  explicit MzmlHandler(SourceSink& sink) : sink_(sink) {}

  BinaryTexts& binary_texts() { return binary_texts_; }
  bool wants_text() const override { return in_binary_; }

  void start(std::string_view name, const char** a) override {
    if (depth_ == 0 && name != "mzML" && name != "indexedmzML")
      throw std::runtime_error("not an mzML file (root element <" + std::string(name) + ">)");
    ++depth_;
    const Target container = containers_.empty() ? Target{} : containers_.back();
    if (name == "cvParam" || name == "userParam") {
      if (container.pending)
        container.pending->add(a);
      else if (container.parsed)
        container.parsed->items.push_back(param(a));
      containers_.push_back(Target{});
      return;
    }
    if (name == "referenceableParamGroupRef") {
      const char* ref = attribute(a, "ref");
      if (container && ref) {
        auto it = groups_.find(ref);
        if (it != groups_.end()) {
          // A copy: the group may be the very one being filled.
          std::vector<Param> items = it->second.items;
          for (const Param& p : items) {
            if (container.pending)
              container.pending->add(p);
            else
              container.parsed->items.push_back(p);
          }
        }
      }
      containers_.push_back(Target{});
      return;
    }
    refuse_misplaced(name);
    Target own;
    if (name == "mzML") {
      const char* v = attribute(a, "version");
      run_.format = std::string("mzML ") + (v ? v : "1.1");
    } else if (name == "referenceableParamGroup") {
      own.parsed = &groups_[value(a, "id")];
    } else if (name == "sourceFile") {
      in_source_file_ = true;
      run_.source_files.push_back({value(a, "name"), value(a, "location"), {}});
      own.parsed = &run_.source_files.back().params;
    } else if (name == "sample") {
      if (run_.sample_id.empty()) {
        run_.sample_id = value(a, "id");
        run_.sample_name = value(a, "name");
        own.parsed = &sample_params_;
      }
    } else if (name == "contact") {
      own.parsed = &run_.contact;
    } else if (name == "instrumentConfiguration") {
      if (!instrument_seen_) own.parsed = &run_.instrument;
    } else if (name == "analyzer") {
      own.parsed = &analyzer_;
      analyzer_.items.clear();
    } else if (name == "run") {
      run_.run_id = value(a, "id");
      run_.start_time = value(a, "startTimeStamp");
      own.parsed = &run_.run_params;
    } else if (name == "spectrumList" || name == "chromatogramList") {
      begin();
    } else if (name == "spectrum") {
      begin();
      spectrum_ = RawSpectrum{};
      spectrum_.id = value(a, "id");
      in_spectrum_ = true;
      own.pending = &spectrum_.pending_params;
    } else if (name == "chromatogram") {
      begin();
      chromatogram_ = RawChromatogram{};
      chromatogram_.id = value(a, "id");
      in_chromatogram_ = true;
      own.parsed = &chromatogram_.params;
    } else if (name == "scan" && in_spectrum_) {
      ++scans_;
      if (scans_ == 1) own.pending = &spectrum_.pending_scan;
    } else if (name == "scanWindow" && in_spectrum_) {
      own.parsed = &window_;
      window_.items.clear();
    } else if (name == "precursor") {
      if (in_spectrum_) {
        spectrum_.precursors.emplace_back();
        const char* ref = attribute(a, "spectrumRef");
        spectrum_.precursors.back().spectrum_ref = ref ? ref : "";
      }
      in_precursor_ = true;
    } else if (name == "product") {
      in_product_ = true;
    } else if (name == "isolationWindow") {
      if (in_spectrum_ && in_precursor_)
        own.pending = &spectrum_.precursors.back().pending_isolation;
      if (in_chromatogram_)
        own.parsed = in_product_ ? &chromatogram_.product : &chromatogram_.precursor;
    } else if (name == "selectedIon" && in_spectrum_ && in_precursor_) {
      if (spectrum_.precursors.back().pending_selected_ion.empty())
        own.pending = &spectrum_.precursors.back().pending_selected_ion;
    } else if (name == "activation") {
      if (in_spectrum_ && in_precursor_)
        own.pending = &spectrum_.precursors.back().pending_activation;
      if (in_chromatogram_) own.parsed = &chromatogram_.activation;
    } else if (name == "binaryDataArray") {
      array_ = RawArray{};
      own.parsed = &array_.params;
    } else if (name == "binary") {
      in_binary_ = true;
    }
    // Inside a spectrum or chromatogram, params of other elements are not
    // kept; elsewhere they belong to the enclosing element.
    containers_.push_back(own ? own : (in_spectrum_ || in_chromatogram_ ? Target{} : container));
  }

  void end(std::string_view name) override {
    --depth_;
    containers_.pop_back();
    if (name == "binary") {
      in_binary_ = false;
    } else if (name == "binaryDataArray") {
      finish_array();
    } else if (name == "scanWindow" && in_spectrum_ && !spectrum_.scan_window) {
      // A window marked "centroided min/max" is the observed m/z range of
      // the spectrum, not the range the instrument scanned.
      auto lo = window_.number("MS:1000501"), hi = window_.number("MS:1000500");
      if (lo && hi && !window_.find_name("centroided min/max")) spectrum_.scan_window = {*lo, *hi};
    } else if (name == "analyzer") {
      if (analyzer_.has("MS:1000081")) ++run_.quadrupoles;
    } else if (name == "instrumentConfiguration") {
      instrument_seen_ = true;
    } else if (name == "sourceFile") {
      in_source_file_ = false;
    } else if (name == "precursor") {
      in_precursor_ = false;
    } else if (name == "product") {
      in_product_ = false;
    } else if (name == "spectrum") {
      in_spectrum_ = false;
      scans_ = 0;
      sink_.spectrum(std::move(spectrum_));
    } else if (name == "chromatogram") {
      in_chromatogram_ = false;
      sink_.chromatogram(std::move(chromatogram_));
    } else if (name == "run") {
      begin();
    }
  }

  void text(std::string_view data) override {
    if (!in_binary_) return;
    if (array_.base64.size() + data.size() > kMaxBinaryText) refuse_large_binary();
    array_.base64.append(data);
  }

  bool began() const { return began_; }

 private:
  static std::string value(const char** a, const char* name) {
    const char* v = attribute(a, name);
    return v ? v : "";
  }

  // A cvParam or userParam, its attributes read in one pass.
  static Param param(const char** a) {
    Param p;
    for (size_t i = 0; a[i]; i += 2) {
      const std::string_view key = a[i];
      std::string* field = nullptr;
      if (key == "accession")
        field = &p.accession;
      else if (key == "name")
        field = &p.name;
      else if (key == "value")
        field = &p.value;
      else if (key == "unitAccession")
        field = &p.unit_accession;
      else if (key == "unitName")
        field = &p.unit_name;
      if (field && field->empty()) field->assign(a[i + 1]);
    }
    return p;
  }

  // The reader keeps pointers to the records of open elements: a source file
  // inside a source file, or a spectrum, chromatogram or precursor opened
  // inside another, would replace or move a record still in use.
  void refuse_misplaced(std::string_view name) const {
    bool misplaced = false;
    if (name == "sourceFile") misplaced = in_source_file_;
    if (name == "spectrum" || name == "chromatogram")
      misplaced = in_spectrum_ || in_chromatogram_ || in_precursor_ || in_product_;
    if (name == "precursor" || name == "product") misplaced = in_precursor_ || in_product_;
    if (misplaced)
      throw std::runtime_error("misplaced <" + std::string(name) + "> element in the mzML file");
  }

  void begin() {
    if (began_) return;
    began_ = true;
    if (run_.sample_name.empty())
      if (const Param* p = sample_params_.find("MS:1000002")) run_.sample_name = p->value;
    sink_.begin(run_);
  }

  [[noreturn]] void refuse_large_binary() const {
    const std::string& id = in_spectrum_ ? spectrum_.id : chromatogram_.id;
    throw std::runtime_error(std::string(in_spectrum_ ? "spectrum" : "chromatogram") + " '" +
                             id.substr(0, 200) +
                             "': a binary array is larger than the most points a spectrum may "
                             "have could take");
  }

  void finish_array() {
    ArrayRole role = role_of(array_.params);
    if (role == ArrayRole::kOther) {  // kept out, and said so in the result
      if (in_spectrum_) spectrum_.other_arrays.push_back(array_name(array_.params));
      if (in_chromatogram_) chromatogram_.other_arrays.push_back(array_name(array_.params));
      if (BinaryTexts::is_marker(array_.base64)) binary_texts_.take(array_.base64);
      array_.base64.clear();
      return;
    }
    EncodedArray encoded;
    encoded.encoding = encoding_of(array_.params);
    if (BinaryTexts::is_marker(array_.base64)) {
      LiftedText lifted = binary_texts_.take(array_.base64);
      encoded.base64 = std::move(lifted.copy);
      encoded.mapped = lifted.view;
      encoded.mapping = std::move(lifted.mapping);
    } else {
      encoded.base64 = std::move(array_.base64);
    }
    array_.base64.clear();
    if (in_spectrum_) {
      if (role == ArrayRole::kIntensity) {
        spectrum_.encoded_intensity = std::move(encoded);
      } else if (role == ArrayRole::kMz || role == ArrayRole::kWavelength) {
        spectrum_.encoded_x = std::move(encoded);
        spectrum_.absorbance = role == ArrayRole::kWavelength;
      }
    } else if (in_chromatogram_) {
      if (role == ArrayRole::kIntensity) {
        chromatogram_.encoded_intensity = std::move(encoded);
      } else if (role == ArrayRole::kTime) {
        chromatogram_.encoded_time = std::move(encoded);
        if (const Param* time = array_.params.find("MS:1000595"))
          chromatogram_.time_unit = time_unit_of(*time);
      }
    }
  }

  SourceSink& sink_;
  BinaryTexts binary_texts_;
  RunInfo run_;
  Params sample_params_, analyzer_, window_;
  std::map<std::string, Params, std::less<>> groups_;
  // Where the params of each open element go.
  struct Target {
    Params* parsed = nullptr;          // parsed at once
    PendingParams* pending = nullptr;  // a spectrum's: parsed by the building thread
    explicit operator bool() const { return parsed || pending; }
  };
  std::vector<Target> containers_;
  RawSpectrum spectrum_;
  RawChromatogram chromatogram_;
  RawArray array_;
  int depth_ = 0, scans_ = 0;
  bool began_ = false, instrument_seen_ = false;
  bool in_spectrum_ = false, in_chromatogram_ = false, in_precursor_ = false, in_product_ = false;
  bool in_binary_ = false, in_source_file_ = false;
};

}  // namespace

void read_mzml(const std::string& path, SourceSink& sink,
               const std::function<void(uint64_t, uint64_t)>& progress) {
  MzmlHandler handler(sink);
  parse_xml_file(path, handler, progress, &handler.binary_texts());
  if (!handler.began()) throw std::runtime_error("the mzML file holds no run");
}

void read_mzml_text(std::string_view text, SourceSink& sink) {
  MzmlHandler handler(sink);
  parse_xml_text(text, handler, &handler.binary_texts());
  if (!handler.began()) throw std::runtime_error("the mzML file holds no run");
}

}  // namespace zelc
