#include "xic_plan.hpp"

#include <algorithm>

#include "condition_ids.hpp"

namespace vorn::analysis {

XicPlan plan_xic(const SpectrumTable& t, std::span<const XicRequest> requests, size_t groups,
                 bool limited, XicQuestions& q) {
  XicPlan plan;
  const size_t k = requests.size();
  plan.lo.assign(k, 0.0);
  plan.hi.assign(k, 0.0);
  // Requests by group, those without a retention-time range apart: they
  // take every spectrum of their condition.
  std::vector<std::vector<uint32_t>> unlimited(groups), ranged(groups);
  for (size_t j = 0; j < k; ++j)
    (requests[j].ranged ? ranged : unlimited)[requests[j].group].push_back(
        static_cast<uint32_t>(j));
  std::vector<char> known(k, 0);
  auto window = [&](uint32_t j) {
    if (!known[j]) {
      q.window(j, plan.lo[j], plan.hi[j]);
      known[j] = 1;
    }
  };
  // Question 0: in the set; question 1 + g: equal to group g.
  ConditionAnswers answers(groups + 1);
  auto ask = [&](uint32_t id, size_t question) {
    return question == 0 ? q.in_set(id) : q.same(id, static_cast<uint32_t>(question - 1));
  };
  auto by_lo = [&](uint32_t a, uint32_t b) { return plan.lo[a] < plan.lo[b]; };
  for (size_t r = 0; r < t.size(); ++r) {
    if (!t.timed[r]) continue;
    const uint32_t id = t.condition[r];
    if (!answers.get(id, 0, ask)) continue;
    if (limited && !q.in_prefilter(r)) continue;
    const size_t first = plan.applicable.size();
    size_t runs = 0;  // runs appended for this spectrum, each sorted but the ranged ones
    bool ranged_run = false;
    for (size_t g = 0; g < groups; ++g) {
      if (!answers.get(id, 1 + g, ask)) continue;
      std::vector<uint32_t>& all = unlimited[g];
      if (!all.empty()) {
        if (!known[all.front()]) {
          for (uint32_t j : all) window(j);
          std::stable_sort(all.begin(), all.end(), by_lo);
        }
        plan.applicable.insert(plan.applicable.end(), all.begin(), all.end());
        ++runs;
      }
      bool any = false;
      for (uint32_t j : ranged[g]) {
        if (!q.in_range(j, r)) continue;
        window(j);
        plan.applicable.push_back(j);
        any = true;
      }
      if (any) {
        ++runs;
        ranged_run = true;
      }
    }
    // The order of a spectrum's requests does not matter to the results.
    const auto from = plan.applicable.begin() + static_cast<ptrdiff_t>(first);
    if (runs > 1 || (ranged_run && !std::is_sorted(from, plan.applicable.end(), by_lo)))
      std::stable_sort(plan.applicable.begin() + static_cast<ptrdiff_t>(first),
                       plan.applicable.end(), by_lo);
    plan.begin.push_back(first);
    plan.rows.push_back(r);
  }
  plan.begin.push_back(plan.applicable.size());
  return plan;
}

}  // namespace vorn::analysis
