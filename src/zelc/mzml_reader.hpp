// Reads an mzML 1.1 file (indexed or not, plain or gzip-compressed) and
// hands its run header, spectra and chromatograms to a sink, one at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "source_records.hpp"

namespace zelc {

void read_mzml(const std::string& path, SourceSink& sink,
               const std::function<void(uint64_t, uint64_t)>& progress);

// The same for mzML text already in memory.
void read_mzml_text(std::string_view text, SourceSink& sink);

}  // namespace zelc
