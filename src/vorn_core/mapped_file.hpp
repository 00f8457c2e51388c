// A read-only memory map of a whole file. The mapping lives as long as the
// last shared owner, so a reader closed while another thread decodes from it
// never pulls the bytes away underneath.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vorn {

class MappedFile {
 public:
  // Opens and maps `path`; IoError when the operating system refuses.
  static std::shared_ptr<const MappedFile> open(const std::string& path);
  // The same view over bytes in memory (owned), for tests and fuzzing.
  static std::shared_ptr<const MappedFile> of_bytes(std::vector<uint8_t> bytes, std::string name);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  std::span<const uint8_t> bytes() const { return {data_, size_}; }
  // Gives the whole pages within [offset, offset + size) back to the system:
  // a later read maps them again from the file. A pass over a large file
  // calls it behind itself, so the pages it has read do not add up in the
  // process's memory. Does nothing for bytes in memory.
  void release(uint64_t offset, uint64_t size) const noexcept;
  uint64_t size() const { return size_; }
  const std::string& path() const { return path_; }

 private:
  MappedFile(std::string path, const uint8_t* data, uint64_t size)
      : path_(std::move(path)), data_(data), size_(size) {}
  std::string path_;
  const uint8_t* data_;
  uint64_t size_;
  std::vector<uint8_t> owned_;  // bytes in memory instead of a mapping
};

}  // namespace vorn
