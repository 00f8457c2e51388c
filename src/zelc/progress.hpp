// What zelc tells its caller while it works: with --background, the
// line protocol on standard output (progress numbers between
// "### Start Progress" and "### End Progress", the result between
// "### Start ConversionResult" and "### End ConversionResult", lines ended by
// CR LF); otherwise a progress bar for a person at a terminal.
#pragma once

#include <string>
#include <vector>

namespace zelc {

class Reporter {
 public:
  explicit Reporter(bool background) : background_(background) {}
  void start();
  // `percent` from 0 to 100; printed when it has moved by a tenth or more.
  void progress(double percent);
  void finish(const std::vector<std::string>& result_lines);

 private:
  bool background_;
  double shown_ = -1;
};

}  // namespace zelc
