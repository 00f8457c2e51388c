// Writes container files. Spectrum data goes to disk as it is added; the
// index blocks (descriptions, offsets, distinct conditions) are written when a
// measurement is finished, and the jump table and trailer when the file is.
// The file is written under a temporary name in the destination's folder and
// appears under its own name only when complete.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "float_array.hpp"
#include "records.hpp"
#include "spectrum_block.hpp"

namespace vorn {

struct WriterOptions {
  bool overwrite = false;
  uint16_t converter_version[3] = {0, 0, 0};
  SpectrumEncoding encoding;
  // Profile spectra's encoding, when it differs (profile points are smooth
  // and repay a slower compression more than centroids do).
  std::optional<SpectrumEncoding> profile_encoding;
  int index_zstd_level = 6;
};

// How a qual MS function's list of distinct acquisition conditions is made.
enum class ConditionList {
  kDerive,    // worked out from the spectra and stored (the default)
  kNone,      // not stored: readers derive the conditions themselves
  kExplicit,  // given by the caller; spectra name their entry by index
};

struct FunctionSpec {
  bool is_qual = true;
  DetectorType detector = DetectorType::kMs;
  Properties supplemental_properties;
  ConditionList conditions = ConditionList::kDerive;
  std::vector<AcquisitionConditionRecord> explicit_conditions;
  std::optional<std::vector<double>> wavelengths;
  bool wavelengths_f32 = false;
};

// Acquisition details a spectrum description cannot hold; they enter the
// derived distinct-condition list.
struct ConditionExtras {
  std::optional<VendorCondition> vendor;
  std::optional<TripleQScan> triple_q;
};

struct SpectrumInput {
  SpectrumDescription description;
  FloatSpan x;  // data null: intensities only (diode array with wavelengths)
  FloatSpan intensity;
  std::optional<FloatSpan> profile_x;
  std::optional<FloatSpan> profile_intensity;
  ConditionExtras extras;
};

class ContainerWriter {
 public:
  // Creates the temporary file. Refuses an existing `path` unless overwriting.
  ContainerWriter(std::string path, WriterOptions options);
  ~ContainerWriter();
  ContainerWriter(const ContainerWriter&) = delete;
  ContainerWriter& operator=(const ContainerWriter&) = delete;

  size_t add_measurement(MeasurementDescription description);
  size_t add_function(size_t measurement, FunctionSpec spec);
  // Appends a spectrum to a function; returns its index in the function.
  size_t add_spectrum(size_t function, const SpectrumInput& spectrum);
  // Leaves a function out of its measurement's index (its spectra stay in the
  // file, unreferenced). For data whose last function proves to be unwanted
  // only once it has been read.
  void drop_function(size_t function);
  // Writes the measurement's index blocks; it takes no more functions or spectra.
  void finish_measurement(size_t measurement);
  // Finishes open measurements, writes the jump table and trailer, syncs and
  // moves the file to its name.
  void finish();
  // The same, except that the complete file keeps its temporary name until
  // publish(): for callers that publish several files all together or not
  // at all.
  void finish_unpublished();
  void publish();
  // Deletes the temporary file; nothing appears at the destination.
  void abandon();

  bool finished() const;
  uint64_t bytes_written() const;
  size_t function_spectrum_count(size_t function) const;
  const std::string& path() const;
  // The temporary file the writer writes ("" once published or abandoned).
  const std::string& temp_path() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Distinct-condition bookkeeping shared with the reader's tests: the condition
// a spectrum would get, as stored in a derived list.
AcquisitionConditionRecord condition_of(const SpectrumDescription& d,
                                        const ConditionExtras& extras);

}  // namespace vorn
