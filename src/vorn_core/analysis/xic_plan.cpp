#include "xic_plan.hpp"

#include <algorithm>

namespace vorn::analysis {

// Question 0 about a condition: in the set; question 1 + g: equal to group g.
XicPlanner::XicPlanner(std::span<const XicRequest> requests, size_t groups, bool limited,
                       XicQuestions& questions)
    : groups_(groups),
      limited_(limited),
      q_(questions),
      unlimited_(groups),
      ranged_(groups),
      known_(requests.size(), 0),
      answers_(groups + 1) {
  const size_t k = requests.size();
  plan_.lo.assign(k, 0.0);
  plan_.hi.assign(k, 0.0);
  for (size_t j = 0; j < k; ++j)
    (requests[j].ranged ? ranged_ : unlimited_)[requests[j].group].push_back(
        static_cast<uint32_t>(j));
}

bool XicPlanner::add(const SpectrumTable& t, size_t r) {
  if (!t.timed[r]) return false;
  auto window = [&](uint32_t j) {
    if (!known_[j]) {
      q_.window(j, plan_.lo[j], plan_.hi[j]);
      known_[j] = 1;
    }
  };
  auto ask = [&](uint32_t id, size_t question) {
    return question == 0 ? q_.in_set(id) : q_.same(id, static_cast<uint32_t>(question - 1));
  };
  auto by_lo = [&](uint32_t a, uint32_t b) { return plan_.lo[a] < plan_.lo[b]; };
  const uint32_t id = t.condition[r];
  if (!answers_.get(id, 0, ask)) return false;
  if (limited_ && !q_.in_prefilter(r)) return false;
  std::vector<uint32_t>& applicable = plan_.applicable;
  const size_t first = applicable.size();
  size_t runs = 0;  // runs appended for this spectrum, each sorted but the ranged ones
  bool ranged_run = false;
  for (size_t g = 0; g < groups_; ++g) {
    if (!answers_.get(id, 1 + g, ask)) continue;
    std::vector<uint32_t>& all = unlimited_[g];
    if (!all.empty()) {
      if (!known_[all.front()]) {
        for (uint32_t j : all) window(j);
        std::stable_sort(all.begin(), all.end(), by_lo);
      }
      applicable.insert(applicable.end(), all.begin(), all.end());
      ++runs;
    }
    bool any = false;
    for (uint32_t j : ranged_[g]) {
      if (!q_.in_range(j, r)) continue;
      window(j);
      applicable.push_back(j);
      any = true;
    }
    if (any) {
      ++runs;
      ranged_run = true;
    }
  }
  // The order of a spectrum's requests does not matter to the results.
  const auto from = applicable.begin() + static_cast<ptrdiff_t>(first);
  if (runs > 1 || (ranged_run && !std::is_sorted(from, applicable.end(), by_lo)))
    std::stable_sort(from, applicable.end(), by_lo);
  plan_.begin.push_back(first);
  plan_.rows.push_back(r);
  return true;
}

XicPlan XicPlanner::finish() {
  plan_.begin.push_back(plan_.applicable.size());
  return std::move(plan_);
}

XicPlan plan_xic(const SpectrumTable& t, std::span<const XicRequest> requests, size_t groups,
                 bool limited, XicQuestions& q) {
  XicPlanner planner(requests, groups, limited, q);
  for (size_t r = 0; r < t.size(); ++r) planner.add(t, r);
  return planner.finish();
}

}  // namespace vorn::analysis
