// Turns what a reader reads into one measurement of a container file:
// MS spectra into qual functions (one per Waters function), absorbance
// spectra into a diode-array function, SRM and SIM chromatograms into a quan
// function, other chromatograms (but the TIC and BPC) into an analog
// function. See docs/zelc.md for the mapping.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <unordered_map>

#include "options.hpp"
#include "source_records.hpp"
#include "vorn_core/container_writer.hpp"

namespace zelc {

struct Counts {
  size_t measurements = 0, qual = 0, quan = 0, dad = 0, analog = 0;
  size_t spectra = 0, traces = 0;
};

class MeasurementBuilder : public SourceSink {
 public:
  MeasurementBuilder(vorn::ContainerWriter& writer, const Options& options,
                     const std::string& source_path, Counts& counts);

  void begin(const RunInfo& run) override;
  void spectrum(RawSpectrum&& s) override;
  void chromatogram(RawChromatogram&& c) override;
  // Drops what the options leave out once everything is read, and finishes
  // the measurement.
  void finish();

 private:
  struct MsFunction {
    size_t id;
    std::unordered_map<std::string, int64_t> index_of;  // native id -> spectrum index
  };
  void ms_spectrum(RawSpectrum&& s);
  void dad_spectrum(RawSpectrum&& s);
  size_t trace_function(bool quan);

  vorn::ContainerWriter& writer_;
  const Options& options_;
  std::string source_path_;
  Counts& counts_;
  RunInfo run_;
  size_t measurement_ = 0;
  bool triple_quad_ = false;
  std::map<int64_t, MsFunction> ms_functions_;  // by Waters function number (0: others)
  std::optional<size_t> dad_function_, quan_function_, analog_function_;
  std::optional<vorn::FloatArray> wavelengths_;
};

}  // namespace zelc
