// Choosing the spectra of an analysis for the array results: by MS level and
// polarity (of each spectrum's acquisition condition), by the start of the
// stored scan filter (property "ScanFilter") and by retention time. Spectra
// without a retention time are never chosen. The answers are the binding's,
// the choosing the core's.
#pragma once

#include <nanobind/nanobind.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "../_glue/value_types.hpp"
#include "analysis_adapter.hpp"
#include "record_access.hpp"

namespace vorn::py {

// The bounds of a ValueRange, of any object with `min` and `max`, or of a
// (min, max) pair; `name` is the argument's name for the TypeError.
ValueRange bounds_of(nb::handle range, const char* name);

struct SpectrumFilter {
  nb::object ms_level;  // None: any
  nb::object polarity;  // None: any
  std::optional<std::string> scan_filter;
  bool rt_limited = false;
  double rt_lo = 0, rt_hi = 0;

  // From the keyword arguments of the array methods. `rt_range` is a
  // ValueRange, an object with `min` and `max`, a (min, max) pair, or None.
  SpectrumFilter(nb::handle ms_level, nb::handle polarity, nb::handle scan_filter,
                 nb::handle rt_range);
};

// The spectra of an analysis that pass a filter: rows of its table, in order.
struct Selection {
  SpectrumRows rows;
  std::vector<size_t> chosen;

  Selection(nb::handle spectrum_index_list, const SpectrumFilter& filter);
  size_t size() const { return chosen.size(); }
  double rt(size_t s) const { return rows.table.rt[chosen[s]]; }
  SpectrumEntry entry(size_t s) const { return rows.entry(chosen[s]); }
};

// A numeric field of a spectrum's description as a double: NaN when it is
// None. Read from the decoded table unless the field was assigned.
double description_number(const SpectrumEntry& e, int field);

// The spectrum's stored scan filter, or nothing when it has none.
std::optional<std::string> scan_filter_of(const SpectrumEntry& e);

}  // namespace vorn::py
