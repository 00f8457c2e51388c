// Turns what a reader reads into one measurement of a container file:
// MS spectra into qual functions (one per Waters function), absorbance
// spectra into a diode-array function, SRM and SIM chromatograms into a quan
// function, every other chromatogram (the TIC and BPC too) into an analog
// function. What the options leave out is counted for the report. See
// docs/zelc.md for the mapping.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <unordered_map>

#include "options.hpp"
#include "report.hpp"
#include "source_records.hpp"
#include "vorn_core/container_writer.hpp"

namespace zelc {

// The sample name a source file's name gives: the name without its folder
// and without .mzML or .mzXML (either optionally followed by .gz).
std::string sample_name_of(const std::string& path);

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
    size_t centroids_only = 0;  // profile spectra whose points are not kept (no -kp)
  };
  void ms_spectrum(RawSpectrum&& s);
  void dad_spectrum(RawSpectrum&& s);
  size_t trace_function(bool quan);
  std::optional<double> retention_time(const RawSpectrum& s);
  void count_other_arrays(const std::vector<std::string>& names);
  size_t add_spectrum(size_t function, const vorn::SpectrumInput& in, const std::string& id,
                      const char* what);

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
