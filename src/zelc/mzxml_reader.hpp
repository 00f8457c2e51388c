// Reads an mzXML 3.x file (plain or gzip-compressed): scans become spectra,
// nested scans included, in file order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "source_records.hpp"

namespace zelc {

void read_mzxml(const std::string& path, SourceSink& sink,
                const std::function<void(uint64_t, uint64_t)>& progress);

// The same for mzXML text already in memory.
void read_mzxml_text(std::string_view text, SourceSink& sink);

}  // namespace zelc
