#include "file_sink.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "errors.hpp"

namespace vorn {
namespace {

constexpr size_t kFlushAt = 4u << 20;

[[noreturn]] void fail(const std::string& what, const std::string& path, int err) {
  throw IoError(what + " '" + path + "': " + std::strerror(err));
}

}  // namespace

FileSink::FileSink(std::string path, bool overwrite) : path_(std::move(path)), overwrite_(overwrite) {
  if (path_.empty()) throw UsageError("the destination path is empty");
  // The system would use the path only up to the first null byte.
  if (path_.find('\0') != std::string::npos) throw UsageError("embedded null byte");
  struct stat st;
  if (!overwrite_ && ::stat(path_.c_str(), &st) == 0)
    throw IoError("'" + path_ + "' exists; pass overwrite=True to replace it");
  std::string pattern = path_ + ".tmp-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  fd_ = ::mkstemp(name.data());
  if (fd_ < 0) fail("cannot create a file beside", path_, errno);
  temp_path_ = name.data();
  ::fchmod(fd_, 0644);
  buffer_.reserve(kFlushAt + (1u << 20));
}

FileSink::~FileSink() { discard(); }

void FileSink::write(std::span<const uint8_t> bytes) {
  if (fd_ < 0) throw UsageError("the file is no longer open for writing");
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  position_ += bytes.size();
  if (buffer_.size() >= kFlushAt) flush();
}

void FileSink::flush() {
  size_t done = 0;
  while (done < buffer_.size()) {
    ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("cannot write", temp_path_, errno);
    }
    done += static_cast<size_t>(n);
  }
  buffer_.clear();
}

void FileSink::publish() {
  flush();
  if (::fsync(fd_) != 0) fail("cannot sync", temp_path_, errno);
  ::close(fd_);
  fd_ = -1;
  if (overwrite_) {
    if (::rename(temp_path_.c_str(), path_.c_str()) != 0) fail("cannot move file to", path_, errno);
  } else {
    // link() refuses an existing destination atomically; rename() would not.
    if (::link(temp_path_.c_str(), path_.c_str()) != 0) {
      int err = errno;
      struct stat st;
      // Filesystems without hard links: check, then rename.
      if ((err == EPERM || err == ENOTSUP || err == EXDEV) && ::stat(path_.c_str(), &st) != 0 &&
          ::rename(temp_path_.c_str(), path_.c_str()) == 0) {
        temp_path_.clear();
        return;
      }
      ::unlink(temp_path_.c_str());
      temp_path_.clear();
      if (err == EEXIST) throw IoError("'" + path_ + "' exists; pass overwrite=True to replace it");
      fail("cannot move file to", path_, err);
    }
    ::unlink(temp_path_.c_str());
  }
  temp_path_.clear();
}

void FileSink::discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_path_.empty()) {
    ::unlink(temp_path_.c_str());
    temp_path_.clear();
  }
  buffer_.clear();
}

}  // namespace vorn
