// Property: converting any mzML or mzXML text either fails with an error
// zelc reports (std::runtime_error, or the writer's UsageError), or writes a
// container that the reader reads back whole. The first input byte picks the
// options (profile spectra, MS1 only, function kinds, last MS function).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "container_walk.hpp"
#include "vorn_core/container_writer.hpp"
#include "zelc/measurement_builder.hpp"
#include "zelc/mzml_reader.hpp"
#include "zelc/mzxml_reader.hpp"

namespace {

zelc::Options options_from(uint8_t bits) {
  zelc::Options o;
  o.keep_profile = bits & 1;
  o.ms1_only = bits & 2;
  o.keep_last_ms_function = bits & 4;
  o.srm = bits & 8;
  o.sim = bits & 16;
  o.qual = bits & 32;
  o.dad = bits & 64;
  o.analog = bits & 128;
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const std::string path = "/tmp/fuzz_zelc_convert_" + std::to_string(getpid()) + ".vdp";
  const zelc::Options options = options_from(data[0]);
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  bool written = false;
  try {
    vorn::WriterOptions writer_options;
    writer_options.overwrite = true;
    vorn::ContainerWriter writer(path, writer_options);
    zelc::Counts counts;
    zelc::MeasurementBuilder builder(writer, options, "fuzz", counts);
    if (text.find("mzXML") != std::string_view::npos ||
        text.find("msRun") != std::string_view::npos)
      zelc::read_mzxml_text(text, builder);
    else
      zelc::read_mzml_text(text, builder);
    builder.finish();
    writer.finish();
    written = true;
  } catch (const std::runtime_error&) {
  } catch (const vorn::UsageError&) {
  }
  if (written) {
    // What zelc writes must read back: a FormatError here escapes and fails.
    vorn::ContainerReader reader(path);
    vorn::fuzz::walk(reader);
    unlink(path.c_str());
  }
  return 0;
}
