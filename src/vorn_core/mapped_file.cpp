#include "mapped_file.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "errors.hpp"

namespace vorn {
namespace {

[[noreturn]] void fail(const std::string& what, const std::string& path, int err) {
  throw IoError(what + " '" + path + "': " + std::strerror(err));
}

}  // namespace

std::shared_ptr<const MappedFile> MappedFile::open(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) fail("cannot open", path, errno);
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    int err = errno;
    ::close(fd);
    fail("cannot inspect", path, err);
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    throw IoError("'" + path + "' is not a regular file");
  }
  auto size = static_cast<uint64_t>(st.st_size);
  const uint8_t* data = nullptr;
  if (size > 0) {
    void* p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) {
      int err = errno;
      ::close(fd);
      fail("cannot map", path, err);
    }
    data = static_cast<const uint8_t*>(p);
  }
  ::close(fd);
  return std::shared_ptr<const MappedFile>(new MappedFile(path, data, size));
}

std::shared_ptr<const MappedFile> MappedFile::of_bytes(std::vector<uint8_t> bytes, std::string name) {
  auto* f = new MappedFile(std::move(name), nullptr, bytes.size());
  f->owned_ = std::move(bytes);
  f->data_ = f->owned_.data();
  return std::shared_ptr<const MappedFile>(f);
}

void MappedFile::release(uint64_t offset, uint64_t size) const noexcept {
  if (!data_ || !owned_.empty() || offset >= size_) return;
  size = std::min(size, size_ - offset);
  const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto begin = reinterpret_cast<uintptr_t>(data_ + offset);
  const uintptr_t first = (begin + page - 1) / page * page, last = (begin + size) / page * page;
  // Read-only pages of a private file mapping: dropping them loses nothing.
  if (first < last) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
}

MappedFile::~MappedFile() {
  if (data_ && owned_.empty()) ::munmap(const_cast<uint8_t*>(data_), size_);
}

}  // namespace vorn
