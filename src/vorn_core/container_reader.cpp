#include "container_reader.hpp"

#include <cstring>
#include <string>

#include "byte_cursor.hpp"
#include "checksum.hpp"
#include "errors.hpp"

namespace vorn {
namespace {

std::string version_text(uint16_t a, uint16_t b, uint16_t c) {
  return std::to_string(a) + "." + std::to_string(b) + "." + std::to_string(c);
}

void check_zero(std::span<const uint8_t> b, uint64_t at, const char* what) {
  for (size_t i = 0; i < b.size(); ++i)
    if (b[i] != 0)
      throw FormatError(std::string("reserved bytes of the ") + what + " are not zero", at + i);
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

ContainerReader::ContainerReader(const std::string& path)
    : ContainerReader(MappedFile::open(path)) {}

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
    throw FormatError(
        "unsupported format version " + version_text(version_[0], version_[1], version_[2]), 8);
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
    throw FormatError(
        "jump table position " + std::to_string(jump_table_) + " lies outside the file body",
        t + 8);
  cursor_.emplace(file_);
}

void ContainerReader::close() {
  std::lock_guard lock(mutex_);
  file_.reset();
  cursor_.reset();
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

FileCursor ContainerReader::private_cursor() const {
  return FileCursor(file());
}

// Runs `op` on the shared cursor, under the reader's lock.
template <typename F>
auto ContainerReader::on_cursor(F&& op) {
  std::lock_guard lock(mutex_);
  if (!cursor_) throw ClosedError();
  return op(*cursor_);
}

template <typename F>
auto ContainerReader::on_cursor(F&& op) const {
  std::lock_guard lock(mutex_);
  if (!cursor_) throw ClosedError();
  return op(*cursor_);
}

void ContainerReader::set_buffer(uint64_t position) {
  on_cursor([&](FileCursor& c) { c.set_buffer(position); });
}

void ContainerReader::confirm_symbol(uint32_t symbol) {
  on_cursor([&](FileCursor& c) { c.confirm_symbol(symbol); });
}

uint64_t ContainerReader::absolute_position() const {
  return on_cursor([](const FileCursor& c) { return c.absolute_position(); });
}

uint16_t ContainerReader::read_u16() {
  return on_cursor([](FileCursor& c) { return c.read_u16(); });
}

uint32_t ContainerReader::read_u16_or_32() {
  return on_cursor([](FileCursor& c) { return c.read_u16_or_32(); });
}

uint32_t ContainerReader::read_u32() {
  return on_cursor([](FileCursor& c) { return c.read_u32(); });
}

bool ContainerReader::read_bool() {
  return on_cursor([](FileCursor& c) { return c.read_bool(); });
}

std::vector<int64_t> ContainerReader::read_int64_array() {
  return on_cursor([](FileCursor& c) { return c.read_int64_array(); });
}

void ContainerReader::set_decompressed_buffer() {
  on_cursor([](FileCursor& c) { c.set_decompressed_buffer(); });
}

void ContainerReader::reset_decompressed_buffer() {
  on_cursor([](FileCursor& c) { c.reset_decompressed_buffer(); });
}

bool ContainerReader::in_decompressed_buffer() const {
  return on_cursor([](const FileCursor& c) { return c.in_decompressed_buffer(); });
}

MeasurementDescription ContainerReader::next_measurement() {
  return on_cursor([](FileCursor& c) { return c.next_measurement(); });
}

FunctionDescription ContainerReader::next_function() {
  return on_cursor([](FileCursor& c) { return c.next_function(); });
}

SpectrumDescription ContainerReader::next_spectrum() {
  return on_cursor([](FileCursor& c) { return c.next_spectrum(); });
}

SpectrumPoints ContainerReader::read_spectrum() {
  return on_cursor([](FileCursor& c) { return c.read_spectrum(); });
}

SpectrumPoints ContainerReader::read_spectrum_window(double lo, double hi) {
  return on_cursor([&](FileCursor& c) { return c.read_spectrum_window(lo, hi); });
}

}  // namespace vorn
