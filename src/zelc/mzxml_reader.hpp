// Reads an mzXML 3.x file (plain or gzip-compressed): scans become spectra,
// nested scans included, in file order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "source_records.hpp"

namespace zelc {

void read_mzxml(const std::string& path, SourceSink& sink,
                const std::function<void(uint64_t, uint64_t)>& progress);

}  // namespace zelc
