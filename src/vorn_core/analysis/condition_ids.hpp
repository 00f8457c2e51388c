// One identity service for acquisition conditions: numbers the distinct
// conditions of a function or an analysis, and remembers answers about them.
//
// Conditions decoded from a file or given to the writer are records, known
// by value: equal records (same_condition) get one number. Conditions the
// binding layer holds are objects of the interpreter, known by identity: the
// caller passes each object's address and keeps the object alive while the
// numbers are in use; the questions asked about an object (is it one of the
// requested conditions?) are answered by the caller once per number. An
// instance numbers either records or objects, never both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "../records.hpp"

namespace vorn::analysis {

// Equality of acquisition condition records as the qual analysis compares
// conditions: the MS level (None counts as 1), polarity, collision energy,
// precursor value, original spectrum type, ranges, and the fields of the
// vendor and scan conditions that take part in those conditions' own
// equality.
bool same_condition(const AcquisitionConditionRecord& a, const AcquisitionConditionRecord& b);
size_t condition_hash(const AcquisitionConditionRecord& c);
// The qual analysis's order: MS level, polarity, then no collision energy
// before any, then ascending collision energy.
bool condition_sorts_before(const AcquisitionConditionRecord& a,
                            const AcquisitionConditionRecord& b);

class ConditionIds {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;

  // By identity: the number of the object at `address`, a new one the first
  // time (`added` says which). `address` is never 0.
  uint32_t of_object(uintptr_t address, bool& added);

  // By value: the number of a record equal to `c`, or kNone.
  uint32_t find_record(const AcquisitionConditionRecord& c) const;
  // A new number for `c`, which find_record did not know.
  uint32_t add_record(AcquisitionConditionRecord c);
  const std::vector<AcquisitionConditionRecord>& records() const { return records_; }
  std::vector<AcquisitionConditionRecord> take_records() { return std::move(records_); }

  size_t size() const { return count_; }

 private:
  uint32_t count_ = 0;
  // Objects by address in an open-addressing table (address 0: empty
  // slot): a DDA run gives each MS2 spectrum a condition object of its own,
  // and a lookup per spectrum in a node-based map would miss the cache on
  // most of them.
  std::vector<std::pair<uintptr_t, uint32_t>> by_object_;
  uintptr_t last_address_ = 0;
  uint32_t last_id_ = 0;
  std::unordered_multimap<size_t, uint32_t> by_hash_;
  std::vector<AcquisitionConditionRecord> records_;
};

// Answers to a fixed set of questions about each numbered condition, each
// asked once: `ask(id, question)` the first time, the kept answer after.
class ConditionAnswers {
 public:
  explicit ConditionAnswers(size_t questions) : questions_(questions) {}

  template <typename Ask>
  bool get(uint32_t id, size_t question, Ask&& ask) {
    const size_t at = static_cast<size_t>(id) * questions_ + question;
    if (at >= known_.size()) known_.resize((static_cast<size_t>(id) + 1) * questions_, kUnknown);
    signed char& k = known_[at];
    if (k == kUnknown) k = ask(id, question) ? 1 : 0;
    return k == 1;
  }

 private:
  static constexpr signed char kUnknown = -1;
  size_t questions_;
  std::vector<signed char> known_;
};

}  // namespace vorn::analysis
