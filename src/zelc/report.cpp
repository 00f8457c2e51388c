#include "report.hpp"

namespace zelc {
namespace {

// "Skipped: 3 SRM traces (-srm keeps them)": `note` says "{them}" where the
// pronoun goes, so that one thing reads "it".
std::string line(size_t n, const std::string& one, const std::string& many, std::string note) {
  const std::string pronoun = n == 1 ? "it" : "them";
  for (size_t at; (at = note.find("{them}")) != std::string::npos;) note.replace(at, 6, pronoun);
  return "Skipped: " + std::to_string(n) + " " + (n == 1 ? one : many) + " " + note;
}

}  // namespace

std::vector<std::string> Counts::skipped_lines() const {
  std::vector<std::string> out;
  auto add = [&](size_t n, const std::string& one, const std::string& many, const char* note) {
    if (n) out.push_back(line(n, one, many, note));
  };
  add(profile_points, "profile spectrum", "profile spectra",
      "kept as centroids only (-kp keeps {them})");
  add(waters_reference, "spectrum", "spectra",
      "of the last Waters function, the lock-mass reference (--keep-last-msfunc keeps {them})");
  add(msn_spectra, "MS2 or higher spectrum", "MS2 and higher spectra", "(-ms1 keeps MS1 only)");
  add(mass_spectra, "mass spectrum", "mass spectra", "(-qual keeps {them})");
  add(dad_spectra, "diode-array spectrum", "diode-array spectra", "(-dad keeps {them})");
  add(quan_traces, "SRM or SIM trace", "SRM and SIM traces", "(-quan keeps {them})");
  add(srm_traces, "SRM trace", "SRM traces", "(-srm keeps {them})");
  add(sim_traces, "SIM trace", "SIM traces", "(-sim keeps {them})");
  add(analog_traces, "analog trace", "analog traces", "(-analog keeps {them})");
  for (const auto& [name, n] : other_arrays)
    add(n, "'" + name + "' array", "'" + name + "' arrays",
        "(only m/z, wavelength, time and intensity arrays are kept)");
  add(unknown_times, "non-finite scan start time", "non-finite scan start times",
      "(the spectra are kept with an unknown retention time)");
  add(nan_points, "point", "points", "whose m/z, wavelength or time is NaN");
  add(later_precursors, "spectrum's later precursors", "spectra's later precursors",
      "(a spectrum keeps the details of its first precursor)");
  return out;
}

}  // namespace zelc
