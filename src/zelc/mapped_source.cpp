#include "mapped_source.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace zelc {
namespace {

// Released in steps of this size: one system call per step.
constexpr size_t kReleaseStep = size_t{8} << 20;

}  // namespace

std::shared_ptr<MappedSource> MappedSource::open(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  unsigned char magic[2] = {0, 0};
  const bool plain = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
                     ::pread(fd, magic, 2, 0) >= 0 && !(magic[0] == 0x1f && magic[1] == 0x8b);
  void* data = plain
                   ? ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0)
                   : MAP_FAILED;
  ::close(fd);
  if (data == MAP_FAILED) return nullptr;
  ::madvise(data, static_cast<size_t>(st.st_size), MADV_SEQUENTIAL);
  return std::shared_ptr<MappedSource>(
      new MappedSource(static_cast<const char*>(data), static_cast<size_t>(st.st_size)));
}

MappedSource::~MappedSource() {
  ::munmap(const_cast<char*>(data_), size_);
}

void MappedSource::used(std::string_view text) const {
  if (text.data() < data_ || text.data() > data_ + size_) return;  // not a view of this file
  const size_t end = static_cast<size_t>(text.data() - data_) + text.size();
  size_t seen = used_.load(std::memory_order_relaxed);
  while (end > seen && !used_.compare_exchange_weak(seen, end, std::memory_order_relaxed)) {
  }
}

void MappedSource::release_read(size_t offset) {
  static const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  const size_t done = std::min(offset, used_.load(std::memory_order_relaxed)) / page * page;
  if (done < released_ + kReleaseStep) return;
  ::madvise(const_cast<char*>(data_) + released_, done - released_, MADV_DONTNEED);
  released_ = done;
}

}  // namespace zelc
