// Surviving a mapped file cut short under the mapping. Reading a page of a
// shared file mapping that lies beyond the file's current end raises SIGBUS,
// which would kill the process. For a watched mapping, a handler replaces the
// lost pages (from the faulting page to the end of the mapping) with zeros
// and sets the mapping's flag; the faulting read then resumes over zeros.
// The handler is installed once, with the first watched mapping, and passes
// every other fault on to the handler that was installed before it.
#pragma once

#include <atomic>
#include <cstdint>

namespace vorn::fault_guard {

// Watches the pages of [data, data + size); returns the handle for
// `unwatch`. `changed` must outlive the watch.
void* watch(const void* data, uint64_t size, std::atomic<bool>* changed);
// Stops watching, before the mapping is removed.
void unwatch(void* handle);

}  // namespace vorn::fault_guard
