// One read position in a mapped container file, with the operations index
// blocks are read with (position, symbols, counts, offset arrays, decompressed
// description buffers) plus spectrum decoding. Every operation checks bounds
// and state first; none trusts a count it has not checked against the limits
// and the bytes that remain.
//
// Reads of the mapping are checked (MappedFile::checked): a file cut short
// under the cursor raises IoError.
//
// A cursor is not shared: a reader's own cursor is guarded by the reader,
// and a sequence that must not be interleaved with other threads' reads (a
// whole index block) runs on a cursor of its own.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "float_array.hpp"
#include "format.hpp"
#include "mapped_file.hpp"
#include "records.hpp"

namespace vorn {

struct SpectrumPoints {
  FloatArray x;
  FloatArray intensity;
};

class FileCursor {
 public:
  explicit FileCursor(std::shared_ptr<const MappedFile> file);

  const MappedFile& file() const { return *file_; }

  void set_buffer(uint64_t position);
  void confirm_symbol(uint32_t symbol);
  uint64_t absolute_position() const;
  uint16_t read_u16();
  uint32_t read_u16_or_32();
  uint32_t read_u32();
  bool read_bool();
  std::vector<int64_t> read_int64_array();
  void set_decompressed_buffer();
  void reset_decompressed_buffer();
  bool in_decompressed_buffer() const { return decompressed_.has_value(); }

  // The next record of the current decompressed buffer, which must hold
  // records of that kind.
  MeasurementDescription next_measurement();
  FunctionDescription next_function();
  SpectrumDescription next_spectrum();

  // Decodes the spectrum data block at the cursor.
  SpectrumPoints read_spectrum();
  // Decodes only the chunks of the block at the cursor that may hold x in
  // [lo, hi]: a superset of those points, in ascending x (all points when the
  // block stores no x).
  SpectrumPoints read_spectrum_window(double lo, double hi);

 private:
  struct Decompressed {
    BufferKind kind;
    uint32_t records;
    uint32_t records_read = 0;
    std::vector<uint8_t> bytes;
    size_t cursor = 0;
    uint64_t resume_at = 0;  // file position after the buffer
  };

  template <typename F>
  auto with_cursor(const char* what, F&& f);
  SpectrumPoints decode_window(double lo, double hi);
  void require_file_mode(const char* what) const;
  void begin_record(BufferKind kind, const char* what);

  std::shared_ptr<const MappedFile> file_;
  // The file's format minor version: which fields its records may hold.
  uint16_t format_minor_ = kFormatMinor;
  uint64_t position_ = 0;
  // The last count read: an offset array must hold at least that many entries.
  uint64_t last_count_ = 0;
  std::optional<Decompressed> decompressed_;
};

}  // namespace vorn
