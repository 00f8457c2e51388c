// A plain (not gzip-compressed) source file mapped into memory, read only.
//
// The reading thread hands views of it (the base64 texts) to the building
// thread. Pages both threads are done with are given back as the conversion
// goes, so a conversion's resident memory does not grow with the file: the
// building thread says how far it has decoded, the reading thread releases
// what lies behind both of them. Releasing a page of a read-only file mapping
// loses nothing: touched again, it is read again from the file.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace zelc {

class MappedSource {
 public:
  // The mapping of `path`, or null when it is not a plain regular file that
  // can be mapped (then it is read as a stream).
  static std::shared_ptr<MappedSource> open(const std::string& path);
  ~MappedSource();
  MappedSource(const MappedSource&) = delete;
  MappedSource& operator=(const MappedSource&) = delete;

  std::string_view bytes() const { return {data_, size_}; }

  // The building thread is done with the mapped bytes up to the end of `text`.
  void used(std::string_view text) const;
  // The reading thread has read up to `offset`: releases the pages before it
  // that the building thread is done with too.
  void release_read(size_t offset);

 private:
  MappedSource(const char* data, size_t size) : data_(data), size_(size) {}

  const char* data_;
  size_t size_;
  mutable std::atomic<size_t> used_{0};
  size_t released_ = 0;
};

}  // namespace zelc
