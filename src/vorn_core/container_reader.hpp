// The reading side of the container: opens and validates a file, and offers
// the cursor operations of FileCursor on one shared cursor. Operations are
// serialised by an internal mutex, so concurrent use cannot corrupt the
// reader, though interleaved cursor sequences from several threads read
// whatever the cursor points at. A sequence that must not be interleaved
// runs on a private cursor of its own.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "file_cursor.hpp"
#include "format.hpp"
#include "mapped_file.hpp"
#include "records.hpp"

namespace vorn {

class ContainerReader {
 public:
  // Opens `path` and checks the header and trailer. Throws IoError when the
  // file cannot be opened, FormatError when it is not a complete container.
  explicit ContainerReader(const std::string& path);
  // A container already in memory (tests, fuzzing).
  explicit ContainerReader(std::shared_ptr<const MappedFile> file);

  void close();
  bool closed() const;
  // The mapping, for decoding outside the cursor (ClosedError once closed).
  std::shared_ptr<const MappedFile> file() const;
  // A new cursor of its own over the file (ClosedError once closed): reads
  // on it neither see nor move the shared cursor, and keep the mapping alive.
  FileCursor private_cursor() const;

  uint16_t major_version() const { return version_[0]; }
  uint16_t minor_version() const { return version_[1]; }
  uint16_t revision_version() const { return version_[2]; }
  uint64_t jump_table_position() const { return jump_table_; }

  // The shared cursor's operations (FileCursor).
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
  bool in_decompressed_buffer() const;
  MeasurementDescription next_measurement();
  FunctionDescription next_function();
  SpectrumDescription next_spectrum();
  SpectrumPoints read_spectrum();
  SpectrumPoints read_spectrum_window(double lo, double hi);

 private:
  template <typename F>
  auto on_cursor(F&& op);
  template <typename F>
  auto on_cursor(F&& op) const;

  mutable std::mutex mutex_;
  std::shared_ptr<const MappedFile> file_;
  uint16_t version_[3] = {0, 0, 0};
  uint64_t jump_table_ = 0;
  std::optional<FileCursor> cursor_;  // empty once closed
};

}  // namespace vorn
