// The command line of zelc.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace zelc {

struct Options {
  std::vector<std::string> sources;
  std::string destination;
  bool background = false;
  bool overwrite = false;
  bool ms1_only = false;
  bool keep_profile = false;
  bool srm = false, sim = false;                                 // none given: both
  bool qual = false, quan = false, dad = false, analog = false;  // none given: all
  bool split = false;
  bool keep_last_ms_function = false;
  bool shimadzu_post_processing = false;
  bool help = false, version = false;

  bool keeps_qual() const { return qual || !(quan || dad || analog); }
  bool keeps_quan() const { return quan || !(qual || dad || analog); }
  bool keeps_dad() const { return dad || !(qual || quan || analog); }
  bool keeps_analog() const { return analog || !(qual || quan || dad); }
  bool keeps_srm() const { return srm || !sim; }
  bool keeps_sim() const { return sim || !srm; }
};

// Parses the arguments (without the program name). Throws UsageError with a
// message naming the offending argument.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};
Options parse_options(const std::vector<std::string>& args);

extern const char* const kUsage;
extern const char* const kVersion;

}  // namespace zelc
