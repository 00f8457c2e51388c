// Buffered writing of a new file under a temporary name, moved to its final
// name only when complete.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vorn {

class FileSink {
 public:
  // Creates a temporary file beside `path`. Refuses an existing `path` unless
  // `overwrite`; the check is repeated atomically when the file is published.
  FileSink(std::string path, bool overwrite);
  ~FileSink();
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;

  uint64_t position() const { return position_; }
  void write(std::span<const uint8_t> bytes);
  // Flushes, syncs and moves the file to its name.
  void publish();
  // Removes the temporary file (idempotent).
  void discard();
  const std::string& path() const { return path_; }

 private:
  void flush();
  std::string path_;
  std::string temp_path_;
  bool overwrite_;
  int fd_ = -1;
  uint64_t position_ = 0;
  std::vector<uint8_t> buffer_;
};

}  // namespace vorn
