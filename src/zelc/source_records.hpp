// What the mzML and mzXML readers hand on: the run's header (sample,
// instrument, source files) and, one at a time, spectra and chromatograms.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "binary_array.hpp"
#include "mapped_source.hpp"
#include "vorn_core/float_array.hpp"

namespace zelc {

// `text` as a number; runtime_error naming `what` when it is not one (or has
// anything after the number).
double parse_number(const std::string& text, const std::string& what);

// A cvParam (accession set) or userParam (accession empty).
struct Param {
  std::string accession, name, value, unit_accession, unit_name;
};

struct Params {
  std::vector<Param> items;
  const Param* find(const char* accession) const {
    for (const auto& p : items)
      if (p.accession == accession) return &p;
    return nullptr;
  }
  const Param* find_name(const char* name) const {
    for (const auto& p : items)
      if (p.name == name) return &p;
    return nullptr;
  }
  bool has(const char* accession) const { return find(accession) != nullptr; }
  std::optional<double> number(const char* accession) const;
};

// Params read but not parsed yet: the five attributes of each, every one
// ended by a zero byte (XML text holds none). The reading thread only copies
// the bytes; the thread that uses them parses them (expand_params).
class PendingParams {
 public:
  // A cvParam's or userParam's attributes, as expat gives them.
  void add(const char** attributes);
  void add(const Param& p);
  bool empty() const { return bytes_.empty(); }
  // Appends the params to `out`, in the order they were added, and forgets
  // them.
  void expand_into(Params& out);

 private:
  std::string bytes_;
};

struct SourceFile {
  std::string name, location;
  Params params;
};

struct RunInfo {
  std::string format;  // "mzML" or "mzXML", with the version
  std::string run_id, start_time;
  std::string sample_name, sample_id;
  std::vector<SourceFile> source_files;
  Params instrument;  // model and serial number
  int quadrupoles = 0;
  std::string manufacturer, model;  // mzXML names them directly
  Params run_params, contact;
};

// A binary array as read, decoded where it is used (on the building thread,
// so that decoding overlaps with reading).
struct EncodedArray {
  // The base64 text: its own copy, or a view of the mapped source file,
  // which `mapping` keeps in memory.
  std::string base64;
  std::string_view mapped;
  std::shared_ptr<const MappedSource> mapping;
  std::string_view text() const { return mapping ? mapped : std::string_view(base64); }
  ArrayEncoding encoding;  // an mzML array
  // mzXML peaks: m/z and intensity pairs of this precision (0: an mzML array).
  int peaks_precision = 0;
  bool peaks_zlib = false, peaks_network_order = true;
};

struct Precursor {
  std::string spectrum_ref;
  Params isolation, selected_ion, activation;
  PendingParams pending_isolation, pending_selected_ion, pending_activation;
  // PSI-MS names of the activation's dissociation methods, in file order.
  std::vector<std::string> methods;
};

struct RawSpectrum {
  std::string id;
  Params params;                               // the spectrum's own, referenced groups expanded
  Params scan;                                 // its first scan
  PendingParams pending_params, pending_scan;  // the same, not parsed yet
  std::optional<std::pair<double, double>> scan_window;
  std::vector<Precursor> precursors;
  bool absorbance = false;  // x is a wavelength
  // Read, not decoded yet: x (m/z or wavelength) and intensity arrays, or
  // mzXML peaks holding both.
  std::optional<EncodedArray> encoded_x, encoded_intensity, encoded_peaks;
  // Decoded (decode_arrays): which arrays the spectrum has, and their values.
  vorn::FloatArray x, intensity;
  bool has_x = false, has_intensity = false;
  // Names of the binary arrays that are not kept (ion mobility, charge, ...).
  std::vector<std::string> other_arrays;
};

struct RawChromatogram {
  std::string id;
  Params params;
  Params precursor, product, activation;
  std::optional<EncodedArray> encoded_time, encoded_intensity;
  vorn::FloatArray time, intensity;
  bool has_time = false, has_intensity = false;
  std::string time_unit = "minute";
  std::vector<std::string> other_arrays;
};

// Parses the params a reader left pending into their Params, and names the
// precursors' dissociation methods: the activation's terms without a value
// (energies carry one).
void expand_params(RawSpectrum& s);
std::vector<std::string> methods_of(const Params& activation);

// Decodes the arrays read (base64, zlib, MS-Numpress) into x/time and
// intensity, and notes which arrays there are. Throws std::runtime_error for
// data that does not decode.
void decode_arrays(RawSpectrum& s);
void decode_arrays(RawChromatogram& c);

// Receives what a reader reads, in file order.
class SourceSink {
 public:
  virtual ~SourceSink() = default;
  virtual void begin(const RunInfo& run) = 0;
  virtual void spectrum(RawSpectrum&& s) = 0;
  virtual void chromatogram(RawChromatogram&& c) = 0;
};

}  // namespace zelc
