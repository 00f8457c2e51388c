#include "spectrum_block.hpp"

#include <algorithm>
#include <cstring>
#include <string>

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
constexpr uint8_t kCodecRaw = 0;
constexpr uint8_t kCodecZstd = 1;
constexpr size_t kBlockHeader = 12;  // symbol, crc, body length
constexpr size_t kBodyHeader = 12;   // layout + reserved, points, chunks
constexpr size_t kChunkEntrySize = 32;

template <typename U>
void append_x_transformed(const U* x, size_t n, std::vector<uint8_t>& out) {
  std::vector<U> delta(x, x + n);
  delta_encode(delta.data(), n);
  size_t at = out.size();
  out.resize(at + n * sizeof(U));
  shuffle_bytes<sizeof(U)>(reinterpret_cast<const uint8_t*>(delta.data()), out.data() + at, n);
}

void append_shuffled(const void* v, size_t n, size_t width, std::vector<uint8_t>& out) {
  size_t at = out.size();
  out.resize(at + n * width);
  const auto* in = static_cast<const uint8_t*>(v);
  if (width == 4)
    shuffle_bytes<4>(in, out.data() + at, n);
  else
    shuffle_bytes<8>(in, out.data() + at, n);
}

// Un-shuffles and prefix-sums in one pass.
template <typename U>
void unshuffle_undelta(const uint8_t* in, U* out, size_t n) {
  U acc = 0;
  for (size_t i = 0; i < n; ++i) {
    U v = 0;
    for (size_t b = 0; b < sizeof(U); ++b) v |= static_cast<U>(in[b * n + i]) << (8 * b);
    acc = static_cast<U>(acc + v);
    out[i] = acc;
  }
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
  const size_t xw = has_x ? (x.f32 ? 4 : 8) : 0;
  const size_t iw = intensity.f32 ? 4 : 8;
  const size_t per_chunk = std::max<uint32_t>(enc.chunk_points, 1);
  const size_t chunks = n == 0 ? 0 : (n + per_chunk - 1) / per_chunk;

  ByteSink head;
  head.u32(static_cast<uint32_t>(Symbol::SPECTRUM_DATA));
  head.u32(0);  // crc, patched below
  head.u32(0);  // body length, patched below
  head.u8(static_cast<uint8_t>((has_x ? kLayoutHasX : 0) | (has_x && x.f32 ? kLayoutXF32 : 0) |
                               (intensity.f32 ? kLayoutIntensityF32 : 0)));
  head.u8(0);
  head.u16(0);
  head.u32(static_cast<uint32_t>(n));
  head.u32(static_cast<uint32_t>(chunks));
  size_t table_at = head.size();
  for (size_t k = 0; k < chunks; ++k)
    for (size_t b = 0; b < kChunkEntrySize; ++b) head.u8(0);

  std::vector<uint8_t> payload;
  std::vector<uint8_t> raw;
  for (size_t k = 0; k < chunks; ++k) {
    // Equal-sized chunks: the last one is never a runt.
    size_t begin = n * k / chunks, end = n * (k + 1) / chunks, m = end - begin;
    raw.clear();
    if (has_x) {
      if (x.f32)
        append_x_transformed(static_cast<const uint32_t*>(x.data) + begin, m, raw);
      else
        append_x_transformed(static_cast<const uint64_t*>(x.data) + begin, m, raw);
    }
    append_shuffled(static_cast<const uint8_t*>(intensity.data) + begin * iw, m, iw, raw);
    size_t before = payload.size();
    zstd_compress_append(raw, enc.zstd_level, payload);
    uint8_t codec = kCodecZstd;
    if (payload.size() - before >= m * (xw + iw)) {  // incompressible: store plainly
      payload.resize(before);
      if (has_x) {
        const auto* xs = static_cast<const uint8_t*>(x.data) + begin * xw;
        payload.insert(payload.end(), xs, xs + m * xw);
      }
      const auto* is = static_cast<const uint8_t*>(intensity.data) + begin * iw;
      payload.insert(payload.end(), is, is + m * iw);
      codec = kCodecRaw;
    }
    size_t e = table_at + k * kChunkEntrySize;
    head.patch<uint32_t>(e, static_cast<uint32_t>(m));
    head.patch<uint32_t>(e + 4, static_cast<uint32_t>(payload.size() - before));
    head.patch<uint8_t>(e + 8, codec);
    head.patch<double>(e + 16, has_x ? x[begin] : 0.0);
    head.patch<double>(e + 24, has_x ? x[end - 1] : 0.0);
  }
  size_t body = head.size() - kBlockHeader + payload.size();
  if (body > limits::kSpectrumBody) throw UsageError("spectrum is too large for one data block");
  head.patch<uint32_t>(8, static_cast<uint32_t>(body));
  uint32_t crc = crc32c(head.bytes().data() + 8, head.size() - 8);
  crc = crc32c(payload.data(), payload.size(), crc);
  head.patch<uint32_t>(4, crc);
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
  if (crc32c(file.data() + body_at - 4, size_t{body} + 4) != crc)
    throw FormatError("spectrum data block checksum mismatch", position);
  stored_size_ = kBlockHeader + body;

  ByteCursor b(file.subspan(body_at, body), body_at);
  uint8_t layout = b.u8("spectrum layout");
  if (layout & ~(kLayoutHasX | kLayoutXF32 | kLayoutIntensityF32))
    throw FormatError("spectrum layout has unknown bits set", body_at);
  if (b.u8("spectrum layout") != 0 || b.u16("spectrum layout") != 0)
    throw FormatError("reserved bytes of a spectrum data block are not zero", body_at + 1);
  has_x_ = layout & kLayoutHasX;
  x_f32_ = has_x_ && (layout & kLayoutXF32);
  intensity_f32_ = layout & kLayoutIntensityF32;
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
  const size_t xw = has_x_ ? (x_f32_ ? 4 : 8) : 0, iw = intensity_f32_ ? 4 : 8;
  uint64_t payload = body_at + kBodyHeader + uint64_t{chunks} * kChunkEntrySize;
  uint64_t body_end = body_at + body;
  uint64_t first_point = 0;
  chunks_.reserve(chunks);
  for (uint32_t k = 0; k < chunks; ++k) {
    uint64_t at = b.position();
    ChunkEntry e;
    e.points = b.u32("chunk table");
    e.stored_bytes = b.u32("chunk table");
    e.codec = b.u8("chunk table");
    for (int r = 0; r < 7; ++r)
      if (b.u8("chunk table") != 0)
        throw FormatError("reserved bytes of a chunk entry are not zero", at + 9);
    e.x_first = b.f64("chunk table");
    e.x_last = b.f64("chunk table");
    e.payload_offset = payload;
    e.first_point = first_point;
    if (e.points == 0 || e.points > points_ - first_point)
      throw FormatError("chunk point counts do not add up to the point count", at);
    if (e.codec > kCodecZstd) throw FormatError("unknown chunk codec", at + 8);
    if (e.codec == kCodecRaw && e.stored_bytes != uint64_t{e.points} * (xw + iw))
      throw FormatError("raw chunk size does not match its point count", at + 4);
    if (e.stored_bytes > body_end - payload)
      throw FormatError("chunk extends beyond its data block", at + 4);
    // Before anything is allocated for the points, the frame must agree.
    if (e.codec == kCodecZstd)
      zstd_require_content_size({file.data() + payload, e.stored_bytes},
                                uint64_t{e.points} * (xw + iw), payload, "spectrum chunk");
    if (has_x_) {
      // !(a <= b) also refuses NaN.
      if (!(e.x_first <= e.x_last) || (!chunks_.empty() && !(chunks_.back().x_last <= e.x_first)))
        throw FormatError("chunk x bounds are not ascending", at + 16);
    } else if (e.x_first != 0 || e.x_last != 0) {
      throw FormatError("chunk x bounds set without stored x values", at + 16);
    }
    payload += e.stored_bytes;
    first_point += e.points;
    chunks_.push_back(e);
  }
  if (first_point != points_)
    throw FormatError("chunk point counts do not add up to the point count", count_at);
  if (payload != body_end)
    throw FormatError("chunk sizes do not add up to the data block length", body_at);
}

void SpectrumBlock::decode_chunk(size_t k, void* x_out, void* intensity_out) const {
  const ChunkEntry& e = chunks_[k];
  const size_t m = e.points;
  const size_t xw = has_x_ ? (x_f32_ ? 4 : 8) : 0, iw = intensity_f32_ ? 4 : 8;
  const uint8_t* src = file_.data() + e.payload_offset;
  const uint8_t* raw = src;
  if (e.codec == kCodecZstd) {
    auto& buf = scratch();
    buf.resize(m * (xw + iw));
    zstd_decompress_exact({src, e.stored_bytes}, buf, e.payload_offset, "spectrum chunk");
    raw = buf.data();
    if (has_x_) {
      if (x_f32_)
        unshuffle_undelta<uint32_t>(raw, static_cast<uint32_t*>(x_out), m);
      else
        unshuffle_undelta<uint64_t>(raw, static_cast<uint64_t*>(x_out), m);
    }
    if (iw == 4)
      unshuffle_bytes<4>(raw + m * xw, static_cast<uint8_t*>(intensity_out), m);
    else
      unshuffle_bytes<8>(raw + m * xw, static_cast<uint8_t*>(intensity_out), m);
  } else {
    if (has_x_) std::memcpy(x_out, raw, m * xw);
    std::memcpy(intensity_out, raw + m * xw, m * iw);
  }
  if (!has_x_) return;
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
                        e.payload_offset);
  };
  if (x_f32_)
    check(static_cast<const float*>(x_out));
  else
    check(static_cast<const double*>(x_out));
}

void SpectrumBlock::decode(FloatArray& x, FloatArray& intensity) const {
  x = has_x_ ? (x_f32_ ? FloatArray::of_f32(points_) : FloatArray::of_f64(points_))
             : FloatArray::of_f64(0);
  intensity = intensity_f32_ ? FloatArray::of_f32(points_) : FloatArray::of_f64(points_);
  const size_t xw = has_x_ ? (x_f32_ ? 4 : 8) : 0, iw = intensity_f32_ ? 4 : 8;
  auto* xo = static_cast<uint8_t*>(x.data());
  auto* io = static_cast<uint8_t*>(intensity.data());
  for (size_t k = 0; k < chunks_.size(); ++k) {
    uint64_t p = chunks_[k].first_point;
    decode_chunk(k, xo ? xo + p * xw : nullptr, io + p * iw);
  }
}

std::pair<size_t, size_t> SpectrumBlock::chunks_for(double lo, double hi) const {
  if (!has_x_) return {0, chunks_.size()};
  // Chunks are ordered by x; the first that may hold x >= lo and the first that
  // starts beyond hi bound the range.
  auto first = std::partition_point(chunks_.begin(), chunks_.end(),
                                    [lo](const ChunkEntry& e) { return e.x_last < lo; });
  auto last = std::partition_point(first, chunks_.end(),
                                   [hi](const ChunkEntry& e) { return e.x_first <= hi; });
  return {static_cast<size_t>(first - chunks_.begin()), static_cast<size_t>(last - chunks_.begin())};
}

}  // namespace vorn
