// Reading a source on a thread of its own while the calling thread builds
// and writes what was read, so that parsing and decoding (expat, base64,
// zlib) overlap with encoding and compression (zstd) on another core. What is
// read is handed over in file order through a queue of bounded size: memory
// stays flat whatever the size of the file.
#pragma once

#include <functional>

#include "source_records.hpp"

namespace zelc {

// Runs `read(sink)` on a new thread, with a sink that hands every run header,
// spectrum and chromatogram to `sink` on the calling thread, in order.
// Returns when both are done. An exception of either side is rethrown here:
// the reader's once everything read before it has been handed on, the
// builder's after the reader has been stopped.
void read_alongside(const std::function<void(SourceSink&)>& read, SourceSink& sink);

}  // namespace zelc
