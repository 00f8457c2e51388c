// Typed errors of the container core. The Python layer turns each into its own
// exception class; messages always say what is wrong and where.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace vorn {

// The file's bytes break the format: a bad marker, checksum, count, length or
// value. `offset` is the absolute file position (or buffer position for data
// read from a decompressed buffer) where the fault was found.
class FormatError : public std::runtime_error {
 public:
  FormatError(const std::string& what, uint64_t offset)
      : std::runtime_error(what + " at offset " + std::to_string(offset)), offset_(offset) {}
  uint64_t offset() const { return offset_; }

 private:
  uint64_t offset_;
};

// The operating system refused an operation (open, map, write, rename).
class IoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A read was attempted after the file was closed.
class ClosedError : public std::runtime_error {
 public:
  ClosedError() : std::runtime_error("the container file is closed") {}
};

// The caller asked for something the current state does not allow (writer
// misuse, bad argument values).
class UsageError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

}  // namespace vorn
