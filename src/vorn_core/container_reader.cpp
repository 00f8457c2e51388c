#include "container_reader.hpp"

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
namespace {

std::string version_text(uint16_t a, uint16_t b, uint16_t c) {
  return std::to_string(a) + "." + std::to_string(b) + "." + std::to_string(c);
}

void check_zero(std::span<const uint8_t> b, uint64_t at, const char* what) {
  for (size_t i = 0; i < b.size(); ++i)
    if (b[i] != 0) throw FormatError(std::string("reserved bytes of the ") + what + " are not zero", at + i);
}

}  // namespace

const char* symbol_name(uint32_t value) {
  switch (static_cast<Symbol>(value)) {
    case Symbol::BEGIN_OF_JUMP_TABLE:
      return "BEGIN_OF_JUMP_TABLE";
    case Symbol::END_OF_JUMP_TABLE:
      return "END_OF_JUMP_TABLE";
    case Symbol::BEGIN_OF_FUNCTION_INDEX_BLOCK:
      return "BEGIN_OF_FUNCTION_INDEX_BLOCK";
    case Symbol::END_OF_FUNCTION_INDEX_BLOCK:
      return "END_OF_FUNCTION_INDEX_BLOCK";
    case Symbol::BEGIN_OF_SPECTRUM_INDEX_BLOCK:
      return "BEGIN_OF_SPECTRUM_INDEX_BLOCK";
    case Symbol::END_OF_SPECTRUM_INDEX_BLOCK:
      return "END_OF_SPECTRUM_INDEX_BLOCK";
    case Symbol::SPECTRUM_DATA:
      return "SPECTRUM_DATA";
  }
  return "an unknown symbol";
}

ContainerReader::ContainerReader(const std::string& path) : ContainerReader(MappedFile::open(path)) {}

ContainerReader::ContainerReader(std::shared_ptr<const MappedFile> file) : file_(std::move(file)) {
  auto bytes = file_->bytes();
  const uint64_t size = bytes.size();
  if (size < kHeaderSize + kTrailerSize)
    throw FormatError("file is too small to be a container (" + std::to_string(size) + " bytes)",
                      0);
  if (std::memcmp(bytes.data(), kHeaderMagic, 8) != 0)
    throw FormatError("not a container file (bad magic number)", 0);
  ByteCursor h(bytes.first(kHeaderSize), 0);
  h.bytes(8, "header");
  version_[0] = h.u16("header");
  version_[1] = h.u16("header");
  version_[2] = h.u16("header");
  if (crc32c(bytes.data(), 28) != [&] {
        uint32_t c;
        std::memcpy(&c, bytes.data() + 28, 4);
        return c;
      }())
    throw FormatError("file header checksum mismatch", 28);
  if (version_[0] != kFormatMajor || version_[1] > kFormatMinor)
    throw FormatError("unsupported format version " +
                          version_text(version_[0], version_[1], version_[2]),
                      8);
  check_zero(bytes.subspan(14, 14), 14, "file header");

  const uint64_t t = size - kTrailerSize;
  if (std::memcmp(bytes.data() + t, kTrailerMagic, 8) != 0)
    throw FormatError("trailer missing: the file is incomplete or was cut short", t);
  ByteCursor tr(bytes.subspan(t), t);
  tr.bytes(8, "trailer");
  jump_table_ = tr.u64("trailer");
  uint64_t recorded = tr.u64("trailer");
  tr.u32("trailer");
  uint32_t crc = tr.u32("trailer");
  if (crc32c(bytes.data() + t, 28) != crc) throw FormatError("trailer checksum mismatch", t + 28);
  check_zero(bytes.subspan(t + 24, 4), t + 24, "trailer");
  if (recorded != size)
    throw FormatError("file size " + std::to_string(size) + " differs from the recorded size " +
                          std::to_string(recorded) + " (cut short or extended)",
                      t + 16);
  if (jump_table_ < kHeaderSize || jump_table_ >= t)
    throw FormatError("jump table position " + std::to_string(jump_table_) +
                          " lies outside the file body",
                      t + 8);
}

void ContainerReader::close() {
  std::lock_guard lock(mutex_);
  file_.reset();
  decompressed_.reset();
}

bool ContainerReader::closed() const {
  std::lock_guard lock(mutex_);
  return !file_;
}

std::shared_ptr<const MappedFile> ContainerReader::file() const {
  std::lock_guard lock(mutex_);
  if (!file_) throw ClosedError();
  return file_;
}

std::span<const uint8_t> ContainerReader::bytes_locked() const {
  if (!file_) throw ClosedError();
  return file_->bytes();
}

// Runs `f` on a ByteCursor at the current read position (file or
// decompressed buffer) and advances the position by what `f` consumed.
template <typename F>
auto ContainerReader::with_cursor(const char* what, F&& f) {
  auto bytes = bytes_locked();
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
  auto result = f(c);
  position_ += c.offset();
  return result;
}

void ContainerReader::require_file_mode(const char* what) const {
  if (decompressed_)
    throw UsageError(std::string(what) + " is not possible while reading a decompressed buffer");
}

void ContainerReader::set_buffer(uint64_t position) {
  std::lock_guard lock(mutex_);
  bytes_locked();
  decompressed_.reset();
  position_ = position;
  last_count_ = 0;
}

void ContainerReader::confirm_symbol(uint32_t symbol) {
  std::lock_guard lock(mutex_);
  require_file_mode("confirming a symbol");
  auto bytes = bytes_locked();
  with_cursor("symbol", [&](ByteCursor& c) {
    uint64_t at = c.position();
    uint32_t found = c.u32("block symbol");
    if (found != symbol)
      throw FormatError(std::string("expected ") + symbol_name(symbol) + ", found " +
                            symbol_name(found),
                        at);
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
      throw FormatError(std::string(symbol_name(symbol)) + " block is not closed by " +
                            symbol_name(end),
                        body + length);
    return 0;
  });
}

uint64_t ContainerReader::absolute_position() const {
  std::lock_guard lock(mutex_);
  bytes_locked();
  return decompressed_ ? decompressed_->cursor : position_;
}

uint16_t ContainerReader::read_u16() {
  std::lock_guard lock(mutex_);
  return with_cursor("u16", [](ByteCursor& c) { return c.u16("16-bit value"); });
}

uint32_t ContainerReader::read_u16_or_32() {
  std::lock_guard lock(mutex_);
  uint32_t n = with_cursor("count", [](ByteCursor& c) -> uint32_t {
    uint16_t v = c.u16("count");
    return v == 0xFFFF ? c.u32("count") : v;
  });
  last_count_ = n;
  return n;
}

uint32_t ContainerReader::read_u32() {
  std::lock_guard lock(mutex_);
  uint32_t n = with_cursor("u32", [](ByteCursor& c) { return c.u32("32-bit value"); });
  last_count_ = n;
  return n;
}

bool ContainerReader::read_bool() {
  std::lock_guard lock(mutex_);
  return with_cursor("bool", [](ByteCursor& c) {
    uint64_t at = c.position();
    uint8_t v = c.u8("flag");
    if (v > 1) throw FormatError("flag byte is " + std::to_string(v) + ", not 0 or 1", at);
    return v == 1;
  });
}

std::vector<int64_t> ContainerReader::read_int64_array() {
  std::lock_guard lock(mutex_);
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
      throw FormatError("offset array holds " + std::to_string(v.size()) + " entries for a count of " +
                            std::to_string(last_count_),
                        at);
    return v;
  });
}

void ContainerReader::set_decompressed_buffer() {
  std::lock_guard lock(mutex_);
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

void ContainerReader::reset_decompressed_buffer() {
  std::lock_guard lock(mutex_);
  bytes_locked();
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

bool ContainerReader::in_decompressed_buffer() const {
  std::lock_guard lock(mutex_);
  return decompressed_.has_value();
}

void ContainerReader::begin_record(BufferKind kind, const char* what) {
  bytes_locked();
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

MeasurementDescription ContainerReader::next_measurement() {
  std::lock_guard lock(mutex_);
  begin_record(BufferKind::kMeasurements, "measurement description");
  return with_cursor("record", [](ByteCursor& c) { return decode_measurement(c); });
}

FunctionDescription ContainerReader::next_function() {
  std::lock_guard lock(mutex_);
  begin_record(BufferKind::kFunctions, "function description");
  return with_cursor("record", [](ByteCursor& c) { return decode_function(c); });
}

SpectrumDescription ContainerReader::next_spectrum() {
  std::lock_guard lock(mutex_);
  begin_record(BufferKind::kSpectra, "spectrum description");
  return with_cursor("record", [this](ByteCursor& c) { return decode_spectrum(c, version_[1]); });
}

SpectrumPoints ContainerReader::read_spectrum() {
  std::lock_guard lock(mutex_);
  require_file_mode("reading a spectrum");
  SpectrumBlock block(bytes_locked(), position_);
  SpectrumPoints p;
  block.decode(p.x, p.intensity);
  position_ += block.stored_size();
  return p;
}

SpectrumPoints ContainerReader::read_spectrum_window(double lo, double hi) {
  std::lock_guard lock(mutex_);
  require_file_mode("reading a spectrum");
  SpectrumBlock block(bytes_locked(), position_);
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
