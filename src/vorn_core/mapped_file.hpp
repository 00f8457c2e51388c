// A read-only memory map of a whole file. The mapping lives as long as the
// last shared owner, so a reader closed while another thread decodes from it
// never pulls the bytes away underneath.
//
// Another program may cut the file short (or overwrite it in place, which
// first truncates it) while it is mapped. Reading a page that no longer has
// file behind it raises SIGBUS; a handler installed with the first mapping
// turns such a fault inside one of these mappings into zero-filled pages and
// marks the file changed, so the read goes on over zeros (as over any hostile
// bytes, which the reader already refuses safely) and `checked` reports it as
// an IoError. Faults anywhere else go to the handler that was there before.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

namespace vorn {

class MappedFile {
 public:
  // Opens and maps `path`; IoError when the operating system refuses, or
  // when `path` is not a regular file (refused without blocking: a FIFO is
  // never waited on).
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

  // Whether a read found the file cut short under the mapping (or its
  // storage failing). Once true, stays true: the lost pages read as zeros.
  bool changed() const { return changed_.load(std::memory_order_acquire); }
  // IoError naming the file when it changed.
  void require_unchanged() const;

  // Runs `read`, which reads bytes(). When the file changed meanwhile (or
  // before), raises IoError in place of whatever `read` returned or raised.
  template <typename F>
  auto checked(F&& read) const -> std::invoke_result_t<F&> {
    using R = std::invoke_result_t<F&>;
    auto run = [&]() -> R {
      try {
        return read();
      } catch (...) {
        require_unchanged();
        throw;
      }
    };
    if constexpr (std::is_void_v<R>) {
      run();
      require_unchanged();
    } else {
      R result = run();
      require_unchanged();
      return result;
    }
  }

 private:
  MappedFile(std::string path, const uint8_t* data, uint64_t size)
      : path_(std::move(path)), data_(data), size_(size) {}
  std::string path_;
  const uint8_t* data_;
  uint64_t size_;
  std::vector<uint8_t> owned_;  // bytes in memory instead of a mapping
  mutable std::atomic<bool> changed_{false};
  void* guard_ = nullptr;  // the mapping's entry in the fault handler's table
};

}  // namespace vorn
