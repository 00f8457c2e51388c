// zstd compression and size-checked decompression. Contexts are reused per
// thread, since creating one costs more than decoding a small chunk.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vorn {

// Appends one zstd frame of `src` (content size recorded) to `out`.
void zstd_compress_append(std::span<const uint8_t> src, int level, std::vector<uint8_t>& out);

// Checks, without decompressing, that the frame declares exactly `expected`
// content bytes; callers check this before allocating the destination, so a
// small frame claiming a huge size costs no memory.
void zstd_require_content_size(std::span<const uint8_t> src, uint64_t expected, uint64_t offset,
                               const char* what);

// Decompresses one frame into exactly `dst.size()` bytes. The frame must declare
// that content size and produce exactly it; `offset` locates the frame in
// error messages. No memory is allocated beyond the caller's `dst`.
void zstd_decompress_exact(std::span<const uint8_t> src, std::span<uint8_t> dst, uint64_t offset,
                           const char* what);

}  // namespace vorn
