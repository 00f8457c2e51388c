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
constexpr size_t kLongestName = 255;  // bytes of one file name (NAME_MAX)

[[noreturn]] void fail(const std::string& action, const std::string& path, int err) {
  throw SinkError(action, path, std::strerror(err));
}

}  // namespace

std::string temp_pattern(const std::string& path, const std::string& suffix) {
  const size_t slash = path.find_last_of('/');
  const size_t name_at = slash == std::string::npos ? 0 : slash + 1;
  std::string name = path.substr(name_at);
  if (name.size() + suffix.size() > kLongestName) {
    size_t keep = kLongestName > suffix.size() ? kLongestName - suffix.size() : 0;
    // Cut at a character boundary of UTF-8 text.
    while (keep > 0 && keep < name.size() && (static_cast<uint8_t>(name[keep]) & 0xC0) == 0x80)
      --keep;
    name.resize(keep);
  }
  return path.substr(0, name_at) + name + suffix;
}

void sync_folder_of(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string folder =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;  // nothing to sync through
  // Some file systems cannot sync a folder (EINVAL); the rename stands.
  int rc = ::fsync(fd);
  int err = errno;
  ::close(fd);
  if (rc != 0 && err != EINVAL && err != EROFS) fail("cannot sync the folder of", path, err);
}

FileSink::FileSink(std::string path, bool overwrite)
    : path_(std::move(path)), overwrite_(overwrite) {
  if (path_.empty()) throw UsageError("the destination path is empty");
  // The system would use the path only up to the first null byte.
  if (path_.find('\0') != std::string::npos) throw UsageError("embedded null byte");
  struct stat st;
  if (!overwrite_ && ::stat(path_.c_str(), &st) == 0)
    throw IoError("'" + path_ + "' exists; pass overwrite=True to replace it");
  std::string pattern = temp_pattern(path_, ".tmp-XXXXXX");
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  fd_ = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd_ < 0) fail("cannot create a file beside", path_, errno);
  temp_path_ = name.data();
  ::fchmod(fd_, 0644);
  buffer_.reserve(kFlushAt + (1u << 20));
}

FileSink::~FileSink() {
  discard();
}

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
      fail("cannot write", path_, errno);
    }
    done += static_cast<size_t>(n);
  }
  buffer_.clear();
}

void FileSink::complete() {
  if (fd_ < 0) return;
  flush();
  if (::fsync(fd_) != 0) fail("cannot sync", path_, errno);
  int rc = ::close(fd_);
  fd_ = -1;
  if (rc != 0 && errno != EINTR) fail("cannot write", path_, errno);
}

void FileSink::publish() {
  if (temp_path_.empty()) throw UsageError("the file is no longer open for writing");
  complete();
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
        sync_folder_of(path_);
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
  sync_folder_of(path_);
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
