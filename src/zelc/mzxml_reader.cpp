#include "mzxml_reader.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include "binary_array.hpp"
#include "xml_stream.hpp"

namespace zelc {
namespace {

// xs:duration such as PT434.072S or PT7M14.5S, in minutes.
double duration_minutes(const std::string& d) {
  if (d.size() < 3 || d[0] != 'P')
    throw std::runtime_error("retention time '" + d + "' is not a duration");
  double seconds = 0, number = 0;
  bool in_time = false;
  size_t i = 1;
  while (i < d.size()) {
    if (d[i] == 'T') {
      in_time = true;
      ++i;
      continue;
    }
    const char* begin = d.c_str() + i;
    char* end = nullptr;
    number = std::strtod(begin, &end);
    if (end == begin) throw std::runtime_error("retention time '" + d + "' is not a duration");
    i += static_cast<size_t>(end - begin);
    if (i >= d.size()) throw std::runtime_error("retention time '" + d + "' is not a duration");
    char unit = d[i++];
    if (in_time && unit == 'H')
      seconds += number * 3600;
    else if (in_time && unit == 'M')
      seconds += number * 60;
    else if (in_time && unit == 'S')
      seconds += number;
    else if (!in_time && unit == 'D')
      seconds += number * 86400;
    else
      throw std::runtime_error("retention time '" + d + "' is not a duration");
  }
  return seconds / 60.0;
}

// A double as text that reads back to the same value.
std::string exact(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.17g", v);
  return buffer;
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= text.size() && !text.empty()) {
    size_t end = text.find(separator, start);
    if (end == std::string::npos) end = text.size();
    std::string item = text.substr(start, end - start);
    while (!item.empty() && item.front() == ' ') item.erase(0, 1);
    while (!item.empty() && item.back() == ' ') item.pop_back();
    if (!item.empty()) out.push_back(item);
    start = end + 1;
  }
  return out;
}

// mzXML's activationMethod as PSI-MS term names; a method it does not know
// is kept as written.
std::vector<std::string> activation_methods(const std::string& method) {
  static const std::pair<const char*, const char*> names[] = {
      {"CID", "collision-induced dissociation"},
      {"HCD", "beam-type collision-induced dissociation"},
      {"ETD", "electron transfer dissociation"},
      {"ECD", "electron capture dissociation"},
      {"PQD", "pulsed q dissociation"},
      {"IRMPD", "infrared multiphoton dissociation"},
      {"SA", "supplemental collision-induced dissociation"},
  };
  std::vector<std::string> out;
  for (const std::string& part : split(method, '+')) {
    std::string name = part;
    for (const auto& [code, term] : names)
      if (part == code) name = term;
    out.push_back(name);
  }
  return out;
}

void add(Params& p, const char* accession, const char* name, const std::string& value,
         const char* unit = "") {
  p.items.push_back({accession, name, value, unit, ""});
}

class MzxmlHandler : public XmlHandler {
 public:
  explicit MzxmlHandler(SourceSink& sink) : sink_(sink) {}

  void start(std::string_view name, const char** a) override {
    if (depth_++ == 0 && name != "mzXML" && name != "msRun")
      throw std::runtime_error("not an mzXML file (root element <" + std::string(name) + ">)");
    // precursorMz and peaks hold text only; an element inside one of them
    // could end or replace the spectrum the text belongs to.
    if (in_precursor_ || in_peaks_)
      throw std::runtime_error("misplaced <" + std::string(name) + "> element in the mzXML file");
    auto v = [&](const char* n) {
      const char* s = attribute(a, n);
      return std::string(s ? s : "");
    };
    if (name == "mzXML") {
      run_.format = "mzXML 3";
    } else if (name == "msRun") {
      run_.start_time = v("startTime");
    } else if (name == "parentFile") {
      SourceFile f;
      f.name = v("fileName");
      if (!v("fileSha1").empty()) add(f.params, "MS:1000569", "SHA-1", v("fileSha1"));
      run_.source_files.push_back(f);
    } else if (name == "msManufacturer") {
      run_.manufacturer = v("value");
    } else if (name == "msModel") {
      run_.model = v("value");
    } else if (name == "scan") {
      begin();
      if (pending_) emit();  // a parent scan without peaks
      RawSpectrum s;
      s.id = "scan=" + v("num");
      if (!v("msLevel").empty()) add(s.params, "MS:1000511", "ms level", v("msLevel"));
      const std::string polarity = v("polarity");
      if (polarity == "+") add(s.params, "MS:1000130", "positive scan", "");
      if (polarity == "-") add(s.params, "MS:1000129", "negative scan", "");
      const std::string centroided = v("centroided");
      if (centroided == "1") add(s.params, "MS:1000127", "centroid spectrum", "");
      if (centroided == "0") add(s.params, "MS:1000128", "profile spectrum", "");
      if (!v("totIonCurrent").empty())
        add(s.params, "MS:1000285", "total ion current", v("totIonCurrent"));
      if (!v("basePeakMz").empty()) add(s.params, "MS:1000504", "base peak m/z", v("basePeakMz"));
      if (!v("basePeakIntensity").empty())
        add(s.params, "MS:1000505", "base peak intensity", v("basePeakIntensity"));
      if (!v("retentionTime").empty())
        add(s.scan, "MS:1000016", "scan start time", exact(duration_minutes(v("retentionTime"))),
            "UO:0000031");
      if (!v("filterLine").empty()) add(s.scan, "MS:1000512", "filter string", v("filterLine"));
      if (!v("startMz").empty() && !v("endMz").empty())
        s.scan_window = {parse_number(v("startMz"), "startMz"), parse_number(v("endMz"), "endMz")};
      collision_energy_ = v("collisionEnergy");
      current_ = std::move(s);
      pending_ = true;
    } else if (name == "precursorMz") {
      in_precursor_ = true;
      precursor_text_.clear();
      Precursor p;
      if (!v("precursorScanNum").empty()) p.spectrum_ref = "scan=" + v("precursorScanNum");
      if (!v("windowWideness").empty()) {
        double half = parse_number(v("windowWideness"), "windowWideness") / 2;
        add(p.isolation, "MS:1000828", "isolation window lower offset", exact(half));
        add(p.isolation, "MS:1000829", "isolation window upper offset", exact(half));
      }
      if (!collision_energy_.empty())
        add(p.activation, "MS:1000045", "collision energy", collision_energy_);
      if (!v("precursorCharge").empty())
        add(p.selected_ion, "MS:1000041", "charge state", v("precursorCharge"));
      for (const std::string& charge : split(v("possibleCharges"), ','))
        add(p.selected_ion, "MS:1000633", "possible charge state", charge);
      if (!v("precursorIntensity").empty())
        add(p.selected_ion, "MS:1000042", "peak intensity", v("precursorIntensity"));
      if (!v("activationMethod").empty()) p.methods = activation_methods(v("activationMethod"));
      current_.precursors.push_back(std::move(p));
    } else if (name == "peaks") {
      in_peaks_ = true;
      peaks_text_.clear();
      precision_ = v("precision") == "32" ? 32 : 64;
      zlib_ = v("compressionType") == "zlib";
      network_ = v("byteOrder") != "little";
      const std::string content = v("contentType");
      if (!content.empty() && content != "m/z-int")
        throw std::runtime_error("mzXML peaks of content type '" + content + "' are not supported");
    }
  }

  void end(std::string_view name) override {
    --depth_;
    if (name == "precursorMz") {
      in_precursor_ = false;
      Precursor& p = current_.precursors.back();
      std::string mz = precursor_text_;
      add(p.isolation, "MS:1000827", "isolation window target m/z", mz);
      add(p.selected_ion, "MS:1000744", "selected ion m/z", mz);
    } else if (name == "peaks") {
      in_peaks_ = false;
      EncodedArray peaks;
      peaks.base64 = std::move(peaks_text_);
      peaks.peaks_precision = precision_;
      peaks.peaks_zlib = zlib_;
      peaks.peaks_network_order = network_;
      current_.encoded_peaks = std::move(peaks);
      peaks_text_.clear();
      emit();
    } else if (name == "scan" && pending_) {
      emit();
    } else if (name == "msRun") {
      begin();
    }
  }

  void text(std::string_view data) override {
    if (in_peaks_) {
      if (peaks_text_.size() + data.size() > kMaxPeaksText)
        throw std::runtime_error("scan '" + current_.id.substr(0, 200) +
                                 "': its peaks are more than a spectrum may hold");
      peaks_text_.append(data);
    }
    if (in_precursor_) {
      if (precursor_text_.size() + data.size() > 4096)
        throw std::runtime_error("scan '" + current_.id.substr(0, 200) +
                                 "': its precursor m/z is not a number");
      precursor_text_.append(data);
    }
  }

  bool began() const { return began_; }

 private:
  void begin() {
    if (began_) return;
    began_ = true;
    sink_.begin(run_);
  }
  void emit() {
    pending_ = false;
    sink_.spectrum(std::move(current_));
    current_ = RawSpectrum{};
  }

  SourceSink& sink_;
  RunInfo run_;
  RawSpectrum current_;
  std::string peaks_text_, precursor_text_, collision_energy_;
  int depth_ = 0, precision_ = 64;
  bool began_ = false, pending_ = false, in_peaks_ = false, in_precursor_ = false;
  bool zlib_ = false, network_ = true;
};

}  // namespace

void read_mzxml(const std::string& path, SourceSink& sink,
                const std::function<void(uint64_t, uint64_t)>& progress) {
  MzxmlHandler handler(sink);
  parse_xml_file(path, handler, progress);
  if (!handler.began()) throw std::runtime_error("the mzXML file holds no run");
}

void read_mzxml_text(std::string_view text, SourceSink& sink) {
  MzxmlHandler handler(sink);
  parse_xml_text(text, handler);
  if (!handler.began()) throw std::runtime_error("the mzXML file holds no run");
}

}  // namespace zelc
