#include "options.hpp"

#include <map>

namespace zelc {

const char* const kVersion = "zelc 1.1.0";

const char* const kUsage =
    "usage: zelc SOURCE... -dest PATH [options]\n"
    "\n"
    "Converts mzML and mzXML files (plain or gzip-compressed) into a Vorn container\n"
    "file: each source becomes one measurement.\n"
    "\n"
    "  -dest PATH                     the container file to write\n"
    "  -f                             overwrite PATH if it exists\n"
    "  -ms1                           keep MS1 spectra only\n"
    "  -kp                            keep profile spectra beside their centroids\n"
    "  -qual -quan -dad -analog       convert only these kinds of analysis\n"
    "  -srm -sim                      keep only these quantitation traces\n"
    "  --force-split-by-measurement   one container file per source (PATH_1, PATH_2, ...)\n"
    "  --keep-last-msfunc             keep the last (lock-mass) function of Waters data\n"
    "  --use-shimadzu-post-processing accepted; no effect on mzML/mzXML input\n"
    "  --background                   print the machine-readable progress protocol\n"
    "  --vorn-protocol-version 1      the protocol version (only 1)\n"
    "  --help, --version\n";

Options parse_options(const std::vector<std::string>& args) {
  Options o;
  const std::map<std::string, bool Options::*> flags = {
      {"--background", &Options::background},
      {"-f", &Options::overwrite},
      {"-ms1", &Options::ms1_only},
      {"-kp", &Options::keep_profile},
      {"-srm", &Options::srm},
      {"-sim", &Options::sim},
      {"-qual", &Options::qual},
      {"-quan", &Options::quan},
      {"-dad", &Options::dad},
      {"-analog", &Options::analog},
      {"--force-split-by-measurement", &Options::split},
      {"--keep-last-msfunc", &Options::keep_last_ms_function},
      {"--use-shimadzu-post-processing", &Options::shimadzu_post_processing},
      {"--help", &Options::help},
      {"--version", &Options::version},
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw UsageError("option " + a + " needs a value");
      return args[++i];
    };
    if (auto it = flags.find(a); it != flags.end()) {
      o.*(it->second) = true;
    } else if (a == "-dest") {
      o.destination = value();
    } else if (a == "--vorn-protocol-version") {
      if (value() != "1") throw UsageError("unsupported protocol version " + args[i]);
    } else if (a.size() > 1 && a[0] == '-') {
      throw UsageError("unknown option " + a);
    } else {
      o.sources.push_back(a);
    }
  }
  if (o.help || o.version) return o;
  if (o.sources.empty()) throw UsageError("no source files given");
  if (o.destination.empty()) throw UsageError("no destination given (-dest PATH)");
  return o;
}

}  // namespace zelc
