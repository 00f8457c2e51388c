// What a conversion made and what it left out on purpose: the counts of the
// result section ("Spectra: 732") and its "Skipped: ..." lines, each saying
// what was left out and how to keep it.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace zelc {

struct Counts {
  size_t measurements = 0, qual = 0, quan = 0, dad = 0, analog = 0;
  size_t spectra = 0, traces = 0;

  // Left out on purpose.
  size_t profile_points = 0;                 // profile spectra kept as centroids only (no -kp)
  size_t waters_reference = 0;               // spectra of the last Waters function
  size_t msn_spectra = 0;                    // MS2 and higher under -ms1
  size_t mass_spectra = 0, dad_spectra = 0;  // analysis kinds not asked for
  size_t srm_traces = 0, sim_traces = 0;     // -srm / -sim not asked for
  size_t quan_traces = 0, analog_traces = 0;
  std::map<std::string, size_t> other_arrays;  // by array name
  size_t unknown_times = 0;                    // non-finite scan start times, stored as unknown
  size_t nan_points = 0;                       // points whose x is NaN
  size_t later_precursors = 0;                 // spectra with more than one precursor

  // The "Skipped: ..." lines, in a fixed order; none when nothing was left out.
  std::vector<std::string> skipped_lines() const;
};

}  // namespace zelc
