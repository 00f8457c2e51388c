// Remembers comparisons of spectra's acquisition conditions with requested
// ones. Spectra of a file with a stored condition list share a few condition
// objects; without one, each spectrum has its own, but equal conditions are
// equal by value, so one member of each group of equal conditions stands for
// all. Objects other than AcquisitionCondition instances are compared every
// time, as they come.
#pragma once

#include <nanobind/nanobind.h>

#include <unordered_map>
#include <vector>

#include "../_glue/python.hpp"
#include "qual.hpp"

namespace vorn::py {

class ConditionGroups {
 public:
  static constexpr int kUngrouped = -1;

  // `by_value`: also group distinct but equal conditions (worth its hashing
  // when each group is compared with many requests).
  explicit ConditionGroups(bool by_value) : by_value_enabled_(by_value) {}

  // The group of `condition`, found by identity first, then by hash and
  // equality (as a set finds it); kUngrouped for other kinds of object.
  int group(nb::handle condition) {
    auto it = by_identity_.find(condition.ptr());
    if (it != by_identity_.end()) return it->second;
    int g = kUngrouped;
    if (exact<AcquisitionCondition>(condition) && !by_value_enabled_) {
      g = static_cast<int>(representatives_.size());
      representatives_.push_back(nb::borrow(condition));
    } else if (exact<AcquisitionCondition>(condition)) {
      PyObject* found = PyDict_GetItemWithError(by_value_.ptr(), condition.ptr());
      if (!found && PyErr_Occurred()) throw nb::python_error();
      if (found) {
        g = static_cast<int>(PyLong_AsLong(found));
      } else {
        g = static_cast<int>(representatives_.size());
        representatives_.push_back(nb::borrow(condition));
        by_value_[condition] = nb::int_(g);
      }
    }
    held_.push_back(nb::borrow(condition));  // keeps the address from being reused
    by_identity_.emplace(condition.ptr(), g);
    return g;
  }
  nb::handle representative(int g) const { return representatives_[static_cast<size_t>(g)]; }
  size_t size() const { return representatives_.size(); }

 private:
  bool by_value_enabled_;
  std::unordered_map<PyObject*, int> by_identity_;
  nb::dict by_value_;
  std::vector<nb::object> representatives_;
  std::vector<nb::object> held_;
};

// A cached answer per group to one question about a condition.
class GroupAnswers {
 public:
  template <typename Ask>
  bool get(ConditionGroups& groups, nb::handle condition, Ask&& ask) {
    int g = groups.group(condition);
    if (g == ConditionGroups::kUngrouped) return ask(condition);
    if (static_cast<size_t>(g) >= known_.size()) known_.resize(static_cast<size_t>(g) + 1, -1);
    signed char& k = known_[static_cast<size_t>(g)];
    if (k < 0) k = ask(groups.representative(g)) ? 1 : 0;
    return k == 1;
  }

 private:
  std::vector<signed char> known_;
};

}  // namespace vorn::py
