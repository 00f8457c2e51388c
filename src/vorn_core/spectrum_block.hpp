// Spectrum data blocks (docs/format.md, "Spectrum data block"): points stored
// in independently compressed chunks with a table of their x bounds, so that a
// window of x needs only the chunks it touches.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "float_array.hpp"

namespace vorn {

struct SpectrumEncoding {
  int zstd_level = 3;
  // Points per chunk; larger spectra are cut into chunks of about this size.
  uint32_t chunk_points = 512;
};

// Appends a complete spectrum data block to `out`. `x` may be empty (size 0
// with data null) when only intensities are stored; otherwise it has as many
// values as `intensity`, non-decreasing and without NaN (checked by the caller).
void encode_spectrum_block(FloatSpan x, FloatSpan intensity, const SpectrumEncoding& enc,
                           std::vector<uint8_t>& out);

// One chunk of a block: its x part and its intensity part are compressed and
// checksummed separately, so a window can be looked up in the x values before
// (and without) decoding intensities.
struct ChunkEntry {
  uint32_t points;
  uint32_t x_bytes, intensity_bytes;
  uint8_t x_codec, intensity_codec;
  uint32_t x_crc, intensity_crc;
  double x_first;
  double x_last;
  uint64_t x_offset, intensity_offset;  // absolute positions of the stored bytes
  uint64_t first_point;                 // index of the chunk's first point in the spectrum
};

// A validated view of one block inside the file's bytes: header checked,
// checksum verified, chunk table parsed and consistent. Decoding a chunk
// checks the rest (sizes, ascending x, bounds).
class SpectrumBlock {
 public:
  SpectrumBlock(std::span<const uint8_t> file, uint64_t position);

  bool has_x() const { return has_x_; }
  // The precision the values were given in, and are decoded to.
  bool x_f32() const { return x_f32_; }
  bool intensity_f32() const { return intensity_f32_; }
  // Bytes per value as stored: float64 values that are all widened float32
  // values are stored in 4 bytes.
  size_t x_width() const { return has_x_ ? (x_f32_ || x_narrowed_ ? 4 : 8) : 0; }
  size_t intensity_width() const { return intensity_f32_ || intensity_narrowed_ ? 4 : 8; }
  uint32_t points() const { return points_; }
  const std::vector<ChunkEntry>& chunks() const { return chunks_; }
  uint64_t position() const { return position_; }
  // Bytes of the block as stored (header included).
  uint64_t stored_size() const { return stored_size_; }

  // Checks that the zstd frames of chunks [first, last) declare the sizes
  // their points need. Call before allocating for those points, so that a
  // small frame claiming a huge spectrum costs no memory.
  void require_frames(size_t first, size_t last) const;
  // Decodes the x values of chunk `k` at their stored width into `out`, and
  // checks that they ascend and match the chunk's bounds.
  void decode_x(size_t k, void* out) const;
  // Decodes the intensities of chunk `k` at their stored width into `out`.
  void decode_intensity(size_t k, void* out) const;
  // Decodes all points. Without stored x, `x` is left empty.
  void decode(FloatArray& x, FloatArray& intensity) const;
  // Decodes chunk `k` at its stored widths (x_width(), intensity_width())
  // into arrays already large enough for its points.
  void decode_chunk(size_t k, void* x_out, void* intensity_out) const;
  // Range of chunks whose x bounds may hold points in [lo, hi]; all chunks when
  // no x is stored.
  std::pair<size_t, size_t> chunks_for(double lo, double hi) const;

 private:
  std::span<const uint8_t> file_;
  uint64_t position_;
  uint64_t stored_size_ = 0;
  bool has_x_ = false;
  bool x_f32_ = false;
  bool intensity_f32_ = false;
  bool x_narrowed_ = false;
  bool intensity_narrowed_ = false;
  uint32_t points_ = 0;
  std::vector<ChunkEntry> chunks_;
};

}  // namespace vorn
