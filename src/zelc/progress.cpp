#include "progress.hpp"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zelc {

Reporter::Reporter(bool background)
    : background_(background), bar_(!background && ::isatty(STDOUT_FILENO)) {}

void Reporter::start() {
  if (background_) std::fputs("### Start Progress\r\n", stdout);
  progress(0);
}

void Reporter::progress(double percent) {
  percent = std::floor(std::min(100.0, std::max(0.0, percent)) * 10) / 10;
  if (percent < shown_ + 0.1) return;
  shown_ = percent;
  if (background_) {
    std::printf("%.1f\r\n", percent);
  } else if (bar_) {
    int filled = static_cast<int>(percent / 2.5);
    std::printf("\r[%-40.*s] %5.1f%%", filled, "########################################", percent);
    line_open_ = true;
  } else {
    return;
  }
  std::fflush(stdout);
}

void Reporter::interrupt() {
  if (!line_open_) return;
  std::fputs("\n", stdout);
  std::fflush(stdout);
  line_open_ = false;
}

void Reporter::finish(const std::vector<std::string>& lines) {
  progress(100);
  if (background_) {
    std::fputs("### End Progress\r\n### Start ConversionResult\r\n", stdout);
    for (const auto& l : lines) std::printf("%s\r\n", l.c_str());
    std::fputs("### End ConversionResult\r\n", stdout);
  } else {
    interrupt();
    for (const auto& l : lines) std::printf("%s\n", l.c_str());
  }
  std::fflush(stdout);
}

}  // namespace zelc
