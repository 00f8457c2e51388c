#include "publish.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <string>

#include "interruption.hpp"
#include "vorn_core/file_sink.hpp"

namespace zelc {
namespace {

bool exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// A second name for the file at `path`, so that it can come back if the
// conversion's other files cannot be published. "" where the file system has
// no hard links: then the older file is simply replaced.
std::string keep_older(const std::string& path) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string pattern = vorn::temp_pattern(path, ".old-XXXXXX");
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) return "";
    ::close(fd);
    ::unlink(name.data());
    if (::link(path.c_str(), name.data()) == 0) {
      add_temporary_file(name.data());
      return name.data();
    }
    if (errno != EEXIST) return "";
  }
  return "";
}

std::string message_of(const std::string& path, const vorn::IoError& e, bool overwrite) {
  if (!overwrite && exists(path)) return path + ": exists; use -f to replace it";
  if (const auto* sink = dynamic_cast<const vorn::SinkError*>(&e))
    return path + ": cannot move the new file into place: " + sink->reason();
  return path + ": " + e.what();
}

}  // namespace

void publish_all(std::vector<std::unique_ptr<vorn::ContainerWriter>>& writers, bool overwrite) {
  SignalsHeld held;
  struct Published {
    std::string path, older;
  };
  std::vector<Published> published;
  try {
    for (auto& writer : writers) {
      const std::string& path = writer->path();
      std::string older = overwrite && exists(path) ? keep_older(path) : "";
      try {
        writer->publish();
      } catch (const vorn::IoError& e) {
        if (!older.empty()) ::unlink(older.c_str());
        throw std::runtime_error(message_of(path, e, overwrite));
      }
      published.push_back({path, older});
    }
  } catch (...) {
    for (auto it = published.rbegin(); it != published.rend(); ++it) {
      if (!it->older.empty())
        ::rename(it->older.c_str(), it->path.c_str());
      else
        ::unlink(it->path.c_str());
      try {
        vorn::sync_folder_of(it->path);
      } catch (const vorn::IoError&) {
      }
    }
    throw;
  }
  for (const Published& p : published)
    if (!p.older.empty()) ::unlink(p.older.c_str());
}

}  // namespace zelc
