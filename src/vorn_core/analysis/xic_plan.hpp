// Planning extracted-ion chromatograms over an analysis's spectra: which
// spectra any request needs, and which requests each of them serves, each
// spectrum's requests in ascending lower bound of their m/z windows so one
// sweep through the spectrum serves them all. Spectra outside every
// requested condition or outside the retention-time prefilter are never
// read.
//
// What only the caller can answer in its own terms (whether a spectrum's
// condition is one of the requested ones, whether a time lies in a range
// object, a request's m/z window) it answers through XicQuestions; a
// condition's answers are asked once per condition number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "condition_ids.hpp"
#include "spectrum_table.hpp"

namespace vorn::analysis {

struct XicRequest {
  uint32_t group = 0;   // the request's condition among the distinct requested ones
  bool ranged = false;  // it has a retention-time range of its own
};

class XicQuestions {
 public:
  virtual ~XicQuestions() = default;
  // Whether condition `id` is in the set of requested conditions.
  virtual bool in_set(uint32_t id) = 0;
  // Whether the requested condition of group `group` equals condition `id`.
  virtual bool same(uint32_t id, uint32_t group) = 0;
  // Whether the time of `row` lies in the prefilter (asked only when the
  // plan is limited) or in request `request`'s own range.
  virtual bool in_prefilter(size_t row) = 0;
  virtual bool in_range(size_t request, size_t row) = 0;
  // Request `request`'s m/z window, asked the first time a spectrum needs it.
  virtual void window(size_t request, double& lo, double& hi) = 0;
};

struct XicPlan {
  std::vector<size_t> rows;          // the spectra to read (table rows), ascending
  std::vector<uint32_t> applicable;  // requests served, spectrum by spectrum
  std::vector<size_t> begin;         // rows.size() + 1 offsets into `applicable`
  std::vector<double> lo, hi;        // m/z windows by request (0 where never asked)

  size_t spectra() const { return rows.size(); }
};

// Plans a row at a time, for a caller that fills the table row by row and
// uses each planned row while it is at hand (rows in order, each added
// once). `groups`: the number of distinct requested conditions; `limited`:
// whether the retention-time prefilter applies.
class XicPlanner {
 public:
  XicPlanner(std::span<const XicRequest> requests, size_t groups, bool limited,
             XicQuestions& questions);
  // Plans row `r`; whether any request needs it.
  bool add(const SpectrumTable& table, size_t r);
  XicPlan finish();

 private:
  XicPlan plan_;
  size_t groups_;
  bool limited_;
  XicQuestions& q_;
  // Requests by group, those without a retention-time range apart: they
  // take every spectrum of their condition.
  std::vector<std::vector<uint32_t>> unlimited_, ranged_;
  std::vector<char> known_;  // window asked for, by request
  ConditionAnswers answers_;
};

// The plan of every row of `table`.
XicPlan plan_xic(const SpectrumTable& table, std::span<const XicRequest> requests, size_t groups,
                 bool limited, XicQuestions& questions);

}  // namespace vorn::analysis
