#include "file_cursor.hpp"

#include <cstring>
#include <string>

#include "byte_cursor.hpp"
#include "checksum.hpp"
#include "errors.hpp"
#include "record_codec.hpp"
#include "spectrum_block.hpp"
#include "transform.hpp"
#include "zstd_codec.hpp"

namespace vorn {

FileCursor::FileCursor(std::shared_ptr<const MappedFile> file) : file_(std::move(file)) {
  // The header's minor version (checked when the file was opened).
  auto bytes = file_->bytes();
  if (bytes.size() >= 12) format_minor_ = static_cast<uint16_t>(bytes[10] | bytes[11] << 8);
}

// Runs `f` on a ByteCursor at the current read position (file or
// decompressed buffer) and advances the position by what `f` consumed.
template <typename F>
auto FileCursor::with_cursor(const char* what, F&& f) {
  auto bytes = file_->bytes();
  if (decompressed_) {
    auto& d = *decompressed_;
    ByteCursor c(std::span<const uint8_t>(d.bytes).subspan(d.cursor), d.cursor);
    auto result = f(c);
    d.cursor += c.offset();
    return result;
  }
  if (position_ > bytes.size())
    throw FormatError(std::string(what) + " position lies beyond the end of the file", position_);
  ByteCursor c(bytes.subspan(position_), position_);
  auto result = file_->checked([&] { return f(c); });
  position_ += c.offset();
  return result;
}

void FileCursor::require_file_mode(const char* what) const {
  if (decompressed_)
    throw UsageError(std::string(what) + " is not possible while reading a decompressed buffer");
}

void FileCursor::set_buffer(uint64_t position) {
  decompressed_.reset();
  position_ = position;
  last_count_ = 0;
}

void FileCursor::confirm_symbol(uint32_t symbol) {
  require_file_mode("confirming a symbol");
  auto bytes = file_->bytes();
  with_cursor("symbol", [&](ByteCursor& c) {
    uint64_t at = c.position();
    uint32_t found = c.u32("block symbol");
    if (found != symbol)
      throw FormatError(
          std::string("expected ") + symbol_name(symbol) + ", found " + symbol_name(found), at);
    uint32_t end = matching_end(static_cast<Symbol>(symbol));
    if (!end) return 0;
    uint32_t crc = c.u32("block frame");
    uint64_t length = c.u64("block frame");
    uint64_t body = c.position();
    if (length > c.remaining() || c.remaining() - length < 4)
      throw FormatError(std::string(symbol_name(symbol)) + " block of " + std::to_string(length) +
                            " bytes extends beyond the end of the file",
                        at + 8);
    if (crc32c(bytes.data() + body, length) != crc)
      throw FormatError(std::string(symbol_name(symbol)) + " block checksum mismatch", at + 4);
    uint32_t closing;
    std::memcpy(&closing, bytes.data() + body + length, 4);
    if (closing != end)
      throw FormatError(
          std::string(symbol_name(symbol)) + " block is not closed by " + symbol_name(end),
          body + length);
    return 0;
  });
}

uint64_t FileCursor::absolute_position() const {
  return decompressed_ ? decompressed_->cursor : position_;
}

uint16_t FileCursor::read_u16() {
  return with_cursor("u16", [](ByteCursor& c) { return c.u16("16-bit value"); });
}

uint32_t FileCursor::read_u16_or_32() {
  uint32_t n = with_cursor("count", [](ByteCursor& c) -> uint32_t {
    uint16_t v = c.u16("count");
    return v == 0xFFFF ? c.u32("count") : v;
  });
  last_count_ = n;
  return n;
}

uint32_t FileCursor::read_u32() {
  uint32_t n = with_cursor("u32", [](ByteCursor& c) { return c.u32("32-bit value"); });
  last_count_ = n;
  return n;
}

bool FileCursor::read_bool() {
  return with_cursor("bool", [](ByteCursor& c) {
    uint64_t at = c.position();
    uint8_t v = c.u8("flag");
    if (v > 1) throw FormatError("flag byte is " + std::to_string(v) + ", not 0 or 1", at);
    return v == 1;
  });
}

std::vector<int64_t> FileCursor::read_int64_array() {
  return with_cursor("offset array", [this](ByteCursor& c) {
    uint64_t at = c.position();
    uint32_t n32 = c.u32("offset array");
    uint8_t encoding = c.u8("offset array");
    std::vector<int64_t> v;
    if (encoding == 0) {
      uint64_t n = c.count(n32, limits::kSpectra, 8, "offset count");
      auto b = c.bytes(n * 8, "offset array");
      v.resize(n);
      if (n) std::memcpy(v.data(), b.data(), n * 8);
    } else if (encoding == 1) {
      uint64_t n = c.count(n32, limits::kSpectra, 0, "offset count");
      uint64_t stored_at = c.position();
      uint32_t stored = c.u32("offset array");
      auto frame = c.bytes(stored, "offset array");
      zstd_require_content_size(frame, n * 8, stored_at + 4, "offset array");
      std::vector<uint8_t> raw(n * 8);
      zstd_decompress_exact(frame, raw, stored_at + 4, "offset array");
      v.resize(n);
      unshuffle_bytes<8>(raw.data(), reinterpret_cast<uint8_t*>(v.data()), n);
      delta_decode(reinterpret_cast<uint64_t*>(v.data()), n);
    } else {
      throw FormatError("unknown offset array encoding " + std::to_string(encoding), at + 4);
    }
    if (v.size() < last_count_)
      throw FormatError("offset array holds " + std::to_string(v.size()) +
                            " entries for a count of " + std::to_string(last_count_),
                        at);
    return v;
  });
}

void FileCursor::set_decompressed_buffer() {
  require_file_mode("opening a decompressed buffer");
  Decompressed d = with_cursor("compressed buffer", [](ByteCursor& c) {
    uint64_t at = c.position();
    Decompressed d;
    uint8_t kind = c.u8("compressed buffer");
    if (kind < 1 || kind > 3)
      throw FormatError("unknown compressed buffer kind " + std::to_string(kind), at);
    d.kind = static_cast<BufferKind>(kind);
    uint8_t encoding = c.u8("compressed buffer");
    if (encoding > 1)
      throw FormatError("unknown compressed buffer encoding " + std::to_string(encoding), at + 1);
    if (c.u16("compressed buffer") != 0)
      throw FormatError("reserved bytes of a compressed buffer are not zero", at + 2);
    d.records = c.u32("compressed buffer");
    uint64_t raw = c.u64("compressed buffer");
    uint64_t stored = c.u64("compressed buffer");
    if (raw > limits::kBufferRaw)
      throw FormatError("compressed buffer of " + std::to_string(raw) +
                            " bytes exceeds the limit of " + std::to_string(limits::kBufferRaw),
                        at + 8);
    if (encoding == 0 && stored != raw)
      throw FormatError("stored buffer length differs from its raw length", at + 24);
    uint64_t data_at = c.position();
    if (stored > c.remaining())
      throw FormatError("compressed buffer extends beyond the end of its block", at + 24);
    auto src = c.bytes(stored, "compressed buffer");
    if (encoding == 1) zstd_require_content_size(src, raw, data_at, "compressed buffer");
    d.bytes.resize(raw);
    if (encoding == 0) {
      if (raw) std::memcpy(d.bytes.data(), src.data(), raw);
    } else
      zstd_decompress_exact(src, d.bytes, data_at, "compressed buffer");
    return d;
  });
  d.resume_at = position_;
  decompressed_ = std::move(d);
}

void FileCursor::reset_decompressed_buffer() {
  if (!decompressed_) throw UsageError("no decompressed buffer is being read");
  const Decompressed& d = *decompressed_;
  if (d.records_read != d.records || d.cursor != d.bytes.size())
    throw FormatError("decompressed buffer holds " + std::to_string(d.records) + " records in " +
                          std::to_string(d.bytes.size()) + " bytes, but " +
                          std::to_string(d.records_read) + " records used " +
                          std::to_string(d.cursor) + " bytes",
                      d.resume_at);
  position_ = d.resume_at;
  decompressed_.reset();
}

void FileCursor::begin_record(BufferKind kind, const char* what) {
  if (!decompressed_)
    throw UsageError(std::string("reading a ") + what + " needs a decompressed buffer");
  auto& d = *decompressed_;
  if (d.kind != kind)
    throw FormatError(std::string("decompressed buffer does not hold ") + what + " records",
                      d.resume_at);
  if (d.records_read >= d.records)
    throw FormatError(std::string("more ") + what + " records requested than the buffer holds",
                      d.cursor);
  ++d.records_read;
}

MeasurementDescription FileCursor::next_measurement() {
  begin_record(BufferKind::kMeasurements, "measurement description");
  return with_cursor("record", [](ByteCursor& c) { return decode_measurement(c); });
}

FunctionDescription FileCursor::next_function() {
  begin_record(BufferKind::kFunctions, "function description");
  return with_cursor("record", [](ByteCursor& c) { return decode_function(c); });
}

SpectrumDescription FileCursor::next_spectrum() {
  begin_record(BufferKind::kSpectra, "spectrum description");
  return with_cursor("record", [this](ByteCursor& c) { return decode_spectrum(c, format_minor_); });
}

SpectrumPoints FileCursor::read_spectrum() {
  require_file_mode("reading a spectrum");
  return file_->checked([&] {
    SpectrumBlock block(file_->bytes(), position_);
    SpectrumPoints p;
    block.decode(p.x, p.intensity);
    position_ += block.stored_size();
    return p;
  });
}

SpectrumPoints FileCursor::read_spectrum_window(double lo, double hi) {
  require_file_mode("reading a spectrum");
  return file_->checked([&] { return decode_window(lo, hi); });
}

SpectrumPoints FileCursor::decode_window(double lo, double hi) {
  SpectrumBlock block(file_->bytes(), position_);
  SpectrumPoints p;
  position_ += block.stored_size();
  if (!block.has_x()) {
    block.decode(p.x, p.intensity);
    return p;
  }
  auto [first, last] = block.chunks_for(lo, hi);
  block.require_frames(first, last);
  size_t n = 0;
  for (size_t k = first; k < last; ++k) n += block.chunks()[k].points;
  const size_t xw = block.x_width(), iw = block.intensity_width();
  // Stored widths first; narrowed arrays are widened afterwards.
  FloatArray xs = xw == 4 ? FloatArray::of_f32(n) : FloatArray::of_f64(n);
  FloatArray is = iw == 4 ? FloatArray::of_f32(n) : FloatArray::of_f64(n);
  size_t at = 0;
  for (size_t k = first; k < last; ++k) {
    block.decode_chunk(k, static_cast<uint8_t*>(xs.data()) + at * xw,
                       static_cast<uint8_t*>(is.data()) + at * iw);
    at += block.chunks()[k].points;
  }
  auto logical = [](FloatArray a, bool f32) {
    if (a.is_f32() && !f32) {
      std::vector<double> wide(a.f32().begin(), a.f32().end());
      return FloatArray(std::move(wide));
    }
    return a;
  };
  p.x = logical(std::move(xs), block.x_f32());
  p.intensity = logical(std::move(is), block.intensity_f32());
  return p;
}

}  // namespace vorn
