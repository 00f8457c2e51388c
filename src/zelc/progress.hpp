// What zelc tells its caller while it works: with --background, the
// line protocol on standard output (progress numbers between
// "### Start Progress" and "### End Progress", the result between
// "### Start ConversionResult" and "### End ConversionResult", lines ended by
// CR LF); otherwise a progress bar, drawn only when standard output is a
// terminal, and the result lines.
#pragma once

#include <string>
#include <vector>

namespace zelc {

class Reporter {
 public:
  explicit Reporter(bool background);
  void start();
  // `percent` from 0 to 100; printed when it has moved by a tenth or more.
  void progress(double percent);
  void finish(const std::vector<std::string>& result_lines);
  // Ends a drawn progress bar's line, so that an error message that follows
  // starts a line of its own.
  void interrupt();

 private:
  bool background_;
  bool bar_;                // a person is watching: draw the bar
  bool line_open_ = false;  // the bar's line has not been ended yet
  double shown_ = -1;
};

}  // namespace zelc
