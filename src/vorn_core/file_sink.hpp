// Buffered writing of a new file under a temporary name, moved to its final
// name only when complete.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "errors.hpp"

namespace vorn {

// A failure of the file system while writing, naming the destination (not
// the temporary file): "cannot write '/data/out.vdp': No space left on
// device". `action` and `reason` are the parts, for callers that word their
// own messages.
class SinkError : public IoError {
 public:
  SinkError(const std::string& action, const std::string& path, const std::string& reason)
      : IoError(action + " '" + path + "': " + reason), action_(action), reason_(reason) {}
  const std::string& action() const { return action_; }
  const std::string& reason() const { return reason_; }

 private:
  std::string action_, reason_;
};

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
  // Flushes, syncs and closes the temporary file, which stays unpublished.
  void complete();
  // Completes the file if needed, moves it to its name and syncs the folder,
  // so the name survives a power loss.
  void publish();
  // Removes the temporary file (idempotent).
  void discard();
  const std::string& path() const { return path_; }
  // The temporary file's name ("" once published or discarded).
  const std::string& temp_path() const { return temp_path_; }

 private:
  void flush();
  std::string path_;
  std::string temp_path_;
  bool overwrite_;
  int fd_ = -1;
  uint64_t position_ = 0;
  std::vector<uint8_t> buffer_;
};

// The name of a temporary file beside `path`, ending in `suffix` (six X's
// that mkstemp replaces): the destination's name cut short where the suffix
// would make it longer than a file name may be.
std::string temp_pattern(const std::string& path, const std::string& suffix);

// Syncs the folder that holds `path`, so that a rename into it is durable.
void sync_folder_of(const std::string& path);

}  // namespace vorn
