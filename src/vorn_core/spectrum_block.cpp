#include "spectrum_block.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <type_traits>

#include "byte_cursor.hpp"
#include "byte_sink.hpp"
#include "checksum.hpp"
#include "errors.hpp"
#include "format.hpp"
#include "transform.hpp"
#include "zstd_codec.hpp"

namespace vorn {
namespace {

constexpr uint8_t kLayoutHasX = 1;
constexpr uint8_t kLayoutXF32 = 2;
constexpr uint8_t kLayoutIntensityF32 = 4;
constexpr uint8_t kLayoutXNarrowed = 8;
constexpr uint8_t kLayoutIntensityNarrowed = 16;
constexpr uint8_t kLayoutKnown = 31;
constexpr uint8_t kCodecRaw = 0;
constexpr uint8_t kCodecZstd = 1;        // x: first differences
constexpr uint8_t kCodecZstdDelta2 = 2;  // x only: second differences
constexpr size_t kBlockHeader = 12;      // symbol, crc, body length
constexpr size_t kBodyHeader = 12;       // layout + reserved, points, chunks
constexpr size_t kChunkEntrySize = 40;

// Appends the shuffled first or second differences of `x` (as unsigned
// integers).
template <typename U>
void append_x_transformed(const U* x, size_t n, int order, std::vector<uint8_t>& out) {
  std::vector<U> d(x, x + n);
  for (int i = 0; i < order; ++i) delta_encode(d.data(), n);
  size_t at = out.size();
  out.resize(at + n * sizeof(U));
  shuffle_bytes<sizeof(U)>(reinterpret_cast<const uint8_t*>(d.data()), out.data() + at, n);
}

// The bits the first and the second differences of `x` take (as signed
// integers of the values' width), summed: what a compressor is left with.
template <typename U>
std::pair<uint64_t, uint64_t> difference_bits(const U* x, size_t n) {
  using S = std::make_signed_t<U>;
  auto bits = [](U d) {
    const S s = static_cast<S>(d);
    return static_cast<uint64_t>(std::bit_width(s < 0 ? U(0) - d : d));
  };
  uint64_t first = 0, second = 0;
  U previous = 0;
  for (size_t i = 1; i < n; ++i) {
    const U d = x[i] - x[i - 1];
    first += bits(d);
    if (i >= 2) second += bits(d - previous);
    previous = d;
  }
  return {first, second};
}

// First differences suit centroid m/z (irregular gaps); second differences
// suit profile m/z, whose spacing changes slowly. The bits the differences
// take decide when the choice is clear (second differences under 0.6 of the
// first ones: profile; over 0.9: centroids); otherwise both are compressed
// and the smaller kept. Decided on the spectrum's first chunk and kept for
// the rest; `frame` is that chunk's compressed x.
template <typename U>
int better_order(const U* x, size_t n, int level, std::vector<uint8_t>& frame) {
  std::vector<uint8_t> raw, other;
  int order = 1;
  if (n >= 3) {
    auto [first, second] = difference_bits(x, n);
    if (10 * second < 6 * first)
      order = 2;
    else if (10 * second <= 9 * first)
      order = 0;  // unclear: try both
  }
  append_x_transformed(x, n, order == 2 ? 2 : 1, raw);
  zstd_compress_append(raw, level, frame);
  if (order != 0) return order;
  raw.clear();
  append_x_transformed(x, n, 2, raw);
  zstd_compress_append(raw, level, other);
  if (other.size() >= frame.size()) return 1;
  frame.swap(other);
  return 2;
}

// Whether every float64 value is a float32 value widened: then it is stored
// in 4 bytes and widened back when read, bit for bit.
bool narrows(FloatSpan a) {
  if (a.f32 || !a.data) return false;
  const auto* v = static_cast<const double*>(a.data);
  for (size_t i = 0; i < a.size; ++i) {
    double w = static_cast<double>(static_cast<float>(v[i]));
    if (bits_of<double, uint64_t>(w) != bits_of<double, uint64_t>(v[i])) return false;
  }
  return true;
}

// The values of `a` from `begin`, `m` of them, at their stored width.
std::vector<uint8_t> stored_values(FloatSpan a, bool narrowed, size_t begin, size_t m) {
  std::vector<uint8_t> out;
  if (narrowed) {
    out.resize(m * 4);
    const auto* v = static_cast<const double*>(a.data) + begin;
    for (size_t i = 0; i < m; ++i) {
      float f = static_cast<float>(v[i]);
      std::memcpy(out.data() + i * 4, &f, 4);
    }
  } else {
    const size_t w = a.f32 ? 4 : 8;
    const auto* p = static_cast<const uint8_t*>(a.data) + begin * w;
    out.assign(p, p + m * w);
  }
  return out;
}

// Un-shuffles, then prefix-sums (once or twice) while the values are still
// in cache.
template <typename U>
void unshuffle_undelta(const uint8_t* in, U* out, size_t n, int order) {
  unshuffle_bytes<sizeof(U)>(in, reinterpret_cast<uint8_t*>(out), n);
  for (int i = 0; i < order; ++i) delta_decode(out, n);
}

std::vector<uint8_t>& scratch() {
  thread_local std::vector<uint8_t> buffer;
  return buffer;
}

}  // namespace

void encode_spectrum_block(FloatSpan x, FloatSpan intensity, const SpectrumEncoding& enc,
                           std::vector<uint8_t>& out) {
  const bool has_x = x.data != nullptr;
  const size_t n = intensity.size;
  const bool x_narrow = has_x && narrows(x), i_narrow = narrows(intensity);
  const size_t xw = has_x ? (x.f32 || x_narrow ? 4 : 8) : 0;
  const size_t iw = intensity.f32 || i_narrow ? 4 : 8;
  const size_t per_chunk = std::max<uint32_t>(enc.chunk_points, 1);
  const size_t chunks = n == 0 ? 0 : (n + per_chunk - 1) / per_chunk;

  ByteSink head;
  head.u32(static_cast<uint32_t>(Symbol::SPECTRUM_DATA));
  head.u32(0);  // crc, patched below
  head.u32(0);  // body length, patched below
  head.u8(static_cast<uint8_t>((has_x ? kLayoutHasX : 0) | (has_x && x.f32 ? kLayoutXF32 : 0) |
                               (intensity.f32 ? kLayoutIntensityF32 : 0) |
                               (x_narrow ? kLayoutXNarrowed : 0) |
                               (i_narrow ? kLayoutIntensityNarrowed : 0)));
  head.u8(0);
  head.u16(0);
  head.u32(static_cast<uint32_t>(n));
  head.u32(static_cast<uint32_t>(chunks));
  size_t table_at = head.size();
  for (size_t k = 0; k < chunks; ++k)
    for (size_t b = 0; b < kChunkEntrySize; ++b) head.u8(0);

  std::vector<uint8_t> payload;
  std::vector<uint8_t> raw;
  int order = 1;
  // Compresses `raw` into the payload, or stores `plain` when that is not
  // smaller; returns the codec used and the stored size.
  // `frame`, when given, is `raw` already compressed.
  auto put = [&](const std::vector<uint8_t>& plain, uint8_t codec,
                 const std::vector<uint8_t>* frame = nullptr) -> std::pair<uint8_t, uint32_t> {
    size_t before = payload.size();
    if (frame)
      payload.insert(payload.end(), frame->begin(), frame->end());
    else
      zstd_compress_append(raw, enc.zstd_level, payload);
    if (payload.size() - before >= plain.size()) {
      payload.resize(before);
      payload.insert(payload.end(), plain.begin(), plain.end());
      codec = kCodecRaw;
    }
    return {codec, static_cast<uint32_t>(payload.size() - before)};
  };
  for (size_t k = 0; k < chunks; ++k) {
    // Equal-sized chunks: the last one is never a runt.
    size_t begin = n * k / chunks, end = n * (k + 1) / chunks, m = end - begin;
    size_t e = table_at + k * kChunkEntrySize;
    head.patch<uint32_t>(e, static_cast<uint32_t>(m));
    size_t x_at = payload.size();
    if (has_x) {
      std::vector<uint8_t> xs = stored_values(x, x_narrow, begin, m);
      const auto* x32 = reinterpret_cast<const uint32_t*>(xs.data());
      const auto* x64 = reinterpret_cast<const uint64_t*>(xs.data());
      std::vector<uint8_t> first_frame;
      if (k == 0)
        order = xw == 4 ? better_order(x32, m, enc.zstd_level, first_frame)
                        : better_order(x64, m, enc.zstd_level, first_frame);
      raw.clear();
      if (k > 0) {
        if (xw == 4)
          append_x_transformed(x32, m, order, raw);
        else
          append_x_transformed(x64, m, order, raw);
      }
      auto [codec, size] =
          put(xs, order == 2 ? kCodecZstdDelta2 : kCodecZstd, k == 0 ? &first_frame : nullptr);
      head.patch<uint32_t>(e + 4, size);
      head.patch<uint8_t>(e + 12, codec);
      head.patch<uint32_t>(e + 16, crc32c(payload.data() + x_at, size));
      head.patch<double>(e + 24, x[begin]);
      head.patch<double>(e + 32, x[end - 1]);
    }
    std::vector<uint8_t> is = stored_values(intensity, i_narrow, begin, m);
    raw.resize(m * iw);
    if (iw == 4)
      shuffle_bytes<4>(is.data(), raw.data(), m);
    else
      shuffle_bytes<8>(is.data(), raw.data(), m);
    size_t i_at = payload.size();
    auto [codec, size] = put(is, kCodecZstd);
    head.patch<uint32_t>(e + 8, size);
    head.patch<uint8_t>(e + 13, codec);
    head.patch<uint32_t>(e + 20, crc32c(payload.data() + i_at, size));
  }
  size_t body = head.size() - kBlockHeader + payload.size();
  if (body > limits::kSpectrumBody) throw UsageError("spectrum is too large for one data block");
  head.patch<uint32_t>(8, static_cast<uint32_t>(body));
  // The header checksum covers the length, layout and chunk table; each chunk
  // carries its own, so reading a window checks only what it decodes.
  head.patch<uint32_t>(4, crc32c(head.bytes().data() + 8, head.size() - 8));
  out.insert(out.end(), head.bytes().begin(), head.bytes().end());
  out.insert(out.end(), payload.begin(), payload.end());
}

SpectrumBlock::SpectrumBlock(std::span<const uint8_t> file, uint64_t position)
    : file_(file), position_(position) {
  if (position > file.size())
    throw FormatError("spectrum data position is beyond the end of the file", position);
  ByteCursor in(file.subspan(position), position);
  uint32_t symbol = in.u32("spectrum data block");
  if (symbol != static_cast<uint32_t>(Symbol::SPECTRUM_DATA))
    throw FormatError("expected SPECTRUM_DATA, found " + std::string(symbol_name(symbol)),
                      position);
  uint32_t crc = in.u32("spectrum data block");
  uint64_t body_at = in.position() + 4;
  uint32_t body = in.u32("spectrum data block");
  if (body > limits::kSpectrumBody)
    throw FormatError("spectrum data block length exceeds the limit", body_at - 4);
  in.require(body, "spectrum data block");
  stored_size_ = kBlockHeader + body;

  ByteCursor b(file.subspan(body_at, body), body_at);
  uint8_t layout = b.u8("spectrum layout");
  if ((layout & ~kLayoutKnown) || ((layout & kLayoutXF32) && (layout & kLayoutXNarrowed)) ||
      ((layout & kLayoutIntensityF32) && (layout & kLayoutIntensityNarrowed)) ||
      (!(layout & kLayoutHasX) && (layout & (kLayoutXF32 | kLayoutXNarrowed))))
    throw FormatError("spectrum layout " + std::to_string(layout) + " is not valid", body_at);
  if (b.u8("spectrum layout") != 0 || b.u16("spectrum layout") != 0)
    throw FormatError("reserved bytes of a spectrum data block are not zero", body_at + 1);
  has_x_ = layout & kLayoutHasX;
  x_f32_ = has_x_ && (layout & kLayoutXF32);
  intensity_f32_ = layout & kLayoutIntensityF32;
  x_narrowed_ = layout & kLayoutXNarrowed;
  intensity_narrowed_ = layout & kLayoutIntensityNarrowed;
  uint64_t count_at = b.position();
  points_ = b.u32("point count");
  if (points_ > limits::kPoints)
    throw FormatError("point count " + std::to_string(points_) + " exceeds the limit", count_at);
  uint32_t chunks = b.u32("chunk count");
  if ((points_ == 0) != (chunks == 0) || chunks > points_)
    throw FormatError("chunk count " + std::to_string(chunks) + " does not fit point count " +
                          std::to_string(points_),
                      count_at + 4);
  b.count(chunks, limits::kPoints, kChunkEntrySize, "chunk count");
  const uint64_t header_end = body_at + kBodyHeader + uint64_t{chunks} * kChunkEntrySize;
  if (crc32c(file.data() + body_at - 4, header_end - (body_at - 4)) != crc)
    throw FormatError("spectrum data block checksum mismatch", position);
  const size_t xw = x_width(), iw = intensity_width();
  uint64_t payload = body_at + kBodyHeader + uint64_t{chunks} * kChunkEntrySize;
  uint64_t body_end = body_at + body;
  uint64_t first_point = 0;
  chunks_.reserve(chunks);
  for (uint32_t k = 0; k < chunks; ++k) {
    uint64_t at = b.position();
    ChunkEntry e;
    e.points = b.u32("chunk table");
    e.x_bytes = b.u32("chunk table");
    e.intensity_bytes = b.u32("chunk table");
    e.x_codec = b.u8("chunk table");
    e.intensity_codec = b.u8("chunk table");
    if (b.u16("chunk table") != 0)
      throw FormatError("reserved bytes of a chunk entry are not zero", at + 14);
    e.x_crc = b.u32("chunk table");
    e.intensity_crc = b.u32("chunk table");
    e.x_first = b.f64("chunk table");
    e.x_last = b.f64("chunk table");
    e.first_point = first_point;
    if (e.points == 0 || e.points > points_ - first_point)
      throw FormatError("chunk point counts do not add up to the point count", at);
    if (e.x_codec > kCodecZstdDelta2 || e.intensity_codec > kCodecZstd ||
        (!has_x_ && (e.x_codec != 0 || e.x_bytes != 0)))
      throw FormatError("unknown chunk codec", at + 12);
    if ((e.x_codec == kCodecRaw && e.x_bytes != uint64_t{e.points} * xw) ||
        (e.intensity_codec == kCodecRaw && e.intensity_bytes != uint64_t{e.points} * iw))
      throw FormatError("raw chunk size does not match its point count", at + 4);
    if (e.x_bytes > body_end - payload || e.intensity_bytes > body_end - payload - e.x_bytes)
      throw FormatError("chunk extends beyond its data block", at + 4);
    e.x_offset = payload;
    e.intensity_offset = payload + e.x_bytes;
    if (has_x_) {
      // !(a <= b) also refuses NaN.
      if (!(e.x_first <= e.x_last) || (!chunks_.empty() && !(chunks_.back().x_last <= e.x_first)))
        throw FormatError("chunk x bounds are not ascending", at + 24);
    } else if (e.x_first != 0 || e.x_last != 0 || e.x_crc != 0) {
      throw FormatError("chunk x fields set without stored x values", at + 16);
    }
    payload += uint64_t{e.x_bytes} + e.intensity_bytes;
    first_point += e.points;
    chunks_.push_back(e);
  }
  if (first_point != points_)
    throw FormatError("chunk point counts do not add up to the point count", count_at);
  if (payload != body_end)
    throw FormatError("chunk sizes do not add up to the data block length", body_at);
}

namespace {

// The stored bytes of one part of a chunk, checksum verified, decompressed
// when compressed: a pointer to the part's transformed (or plain) values.
const uint8_t* part_bytes(std::span<const uint8_t> file, uint64_t offset, uint32_t stored,
                          uint32_t crc, uint8_t codec, size_t raw_size, const char* what) {
  const uint8_t* src = file.data() + offset;
  if (crc32c(src, stored) != crc)
    throw FormatError(std::string(what) + " checksum mismatch", offset);
  if (codec == kCodecRaw) return src;
  auto& buf = scratch();
  buf.resize(raw_size);
  zstd_decompress_exact({src, stored}, buf, offset, what);
  return buf.data();
}

}  // namespace

void SpectrumBlock::decode_x(size_t k, void* out) const {
  const ChunkEntry& e = chunks_[k];
  const size_t m = e.points, xw = x_width();
  const uint8_t* raw = part_bytes(file_, e.x_offset, e.x_bytes, e.x_crc, e.x_codec, m * xw,
                                  "spectrum chunk x values");
  if (e.x_codec == kCodecRaw) {
    std::memcpy(out, raw, m * xw);
  } else {
    const int order = e.x_codec == kCodecZstdDelta2 ? 2 : 1;
    if (xw == 4)
      unshuffle_undelta<uint32_t>(raw, static_cast<uint32_t*>(out), m, order);
    else
      unshuffle_undelta<uint64_t>(raw, static_cast<uint64_t*>(out), m, order);
  }
  auto check = [&](const auto* xs) {
    double prev = static_cast<double>(xs[0]);
    bool ok = prev == e.x_first;  // NaN never compares equal
    for (size_t i = 1; ok && i < m; ++i) {
      double cur = static_cast<double>(xs[i]);
      ok = prev <= cur;
      prev = cur;
    }
    if (!ok || prev != e.x_last)
      throw FormatError("points of a spectrum chunk are not ascending or do not match its bounds",
                        e.x_offset);
  };
  if (xw == 4)
    check(static_cast<const float*>(out));
  else
    check(static_cast<const double*>(out));
}

void SpectrumBlock::decode_intensity(size_t k, void* out) const {
  const ChunkEntry& e = chunks_[k];
  const size_t m = e.points, iw = intensity_width();
  const uint8_t* raw = part_bytes(file_, e.intensity_offset, e.intensity_bytes, e.intensity_crc,
                                  e.intensity_codec, m * iw, "spectrum chunk intensities");
  if (e.intensity_codec == kCodecRaw)
    std::memcpy(out, raw, m * iw);
  else if (iw == 4)
    unshuffle_bytes<4>(raw, static_cast<uint8_t*>(out), m);
  else
    unshuffle_bytes<8>(raw, static_cast<uint8_t*>(out), m);
}

void SpectrumBlock::decode_chunk(size_t k, void* x_out, void* intensity_out) const {
  if (has_x_) decode_x(k, x_out);
  decode_intensity(k, intensity_out);
}

void SpectrumBlock::require_frames(size_t first, size_t last) const {
  const size_t xw = x_width(), iw = intensity_width();
  for (size_t k = first; k < last; ++k) {
    const ChunkEntry& e = chunks_[k];
    if (e.x_codec != kCodecRaw)
      zstd_require_content_size({file_.data() + e.x_offset, e.x_bytes}, uint64_t{e.points} * xw,
                                e.x_offset, "spectrum chunk x values");
    if (e.intensity_codec != kCodecRaw)
      zstd_require_content_size({file_.data() + e.intensity_offset, e.intensity_bytes},
                                uint64_t{e.points} * iw, e.intensity_offset,
                                "spectrum chunk intensities");
  }
}

namespace {

// Widens float32 values in place at the front of a float64 array.
void widen_in_place(FloatArray& a) {
  auto& v = a.f64();
  const auto* f = reinterpret_cast<const float*>(v.data());
  for (size_t i = v.size(); i-- > 0;) v[i] = static_cast<double>(f[i]);
}

}  // namespace

void SpectrumBlock::decode(FloatArray& x, FloatArray& intensity) const {
  require_frames(0, chunks_.size());
  // Narrowed arrays decode into the front of their float64 arrays and are
  // widened there (backwards, so no value is overwritten before it is read).
  x = has_x_ ? (x_f32_ ? FloatArray::of_f32(points_) : FloatArray::of_f64(points_))
             : FloatArray::of_f64(0);
  intensity = intensity_f32_ ? FloatArray::of_f32(points_) : FloatArray::of_f64(points_);
  const size_t xw = x_width(), iw = intensity_width();
  auto* xo = static_cast<uint8_t*>(x.data());
  auto* io = static_cast<uint8_t*>(intensity.data());
  for (size_t k = 0; k < chunks_.size(); ++k) {
    uint64_t p = chunks_[k].first_point;
    decode_chunk(k, xo ? xo + p * xw : nullptr, io + p * iw);
  }
  if (x_narrowed_) widen_in_place(x);
  if (intensity_narrowed_) widen_in_place(intensity);
}

std::pair<size_t, size_t> SpectrumBlock::chunks_for(double lo, double hi) const {
  if (!has_x_) return {0, chunks_.size()};
  // Chunks are ordered by x; the first that may hold x >= lo and the first that
  // starts beyond hi bound the range.
  auto first = std::partition_point(chunks_.begin(), chunks_.end(),
                                    [lo](const ChunkEntry& e) { return e.x_last < lo; });
  auto last = std::partition_point(first, chunks_.end(),
                                   [hi](const ChunkEntry& e) { return e.x_first <= hi; });
  return {static_cast<size_t>(first - chunks_.begin()),
          static_cast<size_t>(last - chunks_.begin())};
}

}  // namespace vorn
