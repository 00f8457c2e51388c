// Property: zelc's mzML and mzXML readers, given any text, either read it or
// throw std::runtime_error; they never crash, hang or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>

#include "zelc/mzml_reader.hpp"
#include "zelc/mzxml_reader.hpp"

namespace {

struct Sink : zelc::SourceSink {
  size_t points = 0;
  void begin(const zelc::RunInfo&) override {}
  void spectrum(zelc::RawSpectrum&& s) override {
    zelc::decode_arrays(s);
    points += s.x.size() + s.intensity.size();
  }
  void chromatogram(zelc::RawChromatogram&& c) override {
    zelc::decode_arrays(c);
    points += c.time.size();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  Sink sink;
  try {
    zelc::read_mzml_text(text, sink);
  } catch (const std::runtime_error&) {
  }
  try {
    zelc::read_mzxml_text(text, sink);
  } catch (const std::runtime_error&) {
  }
  return 0;
}
