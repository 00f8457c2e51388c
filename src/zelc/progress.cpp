#include "progress.hpp"

#include <cmath>
#include <cstdio>

namespace zelc {

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
  } else {
    int filled = static_cast<int>(percent / 2.5);
    std::printf("\r[%-40.*s] %5.1f%%", filled, "########################################", percent);
  }
  std::fflush(stdout);
}

void Reporter::finish(const std::vector<std::string>& lines) {
  progress(100);
  if (background_) {
    std::fputs("### End Progress\r\n### Start ConversionResult\r\n", stdout);
    for (const auto& l : lines) std::printf("%s\r\n", l.c_str());
    std::fputs("### End ConversionResult\r\n", stdout);
  } else {
    std::fputs("\n", stdout);
    for (const auto& l : lines) std::printf("%s\n", l.c_str());
  }
  std::fflush(stdout);
}

}  // namespace zelc
