// Numbering acquisition conditions by value and by identity, and answers
// kept per number.
#include <doctest/doctest.h>

#include <cmath>

#include "vorn_core/analysis/condition_ids.hpp"

using namespace vorn;
using namespace vorn::analysis;

namespace {
AcquisitionConditionRecord condition(int64_t level, std::optional<double> energy) {
  AcquisitionConditionRecord c;
  c.core.ms_level = level;
  c.core.polarity = Polarity::kPositive;
  c.core.collision_energy = energy;
  return c;
}
}  // namespace

TEST_CASE("records equal by value share a number") {
  ConditionIds ids;
  CHECK(ids.find_record(condition(1, std::nullopt)) == ConditionIds::kNone);
  const uint32_t ms1 = ids.add_record(condition(1, std::nullopt));
  const uint32_t ms2 = ids.add_record(condition(2, 30.0));
  CHECK(ms1 != ms2);
  CHECK(ids.find_record(condition(2, 30.0)) == ms2);
  CHECK(ids.find_record(condition(2, 35.0)) == ConditionIds::kNone);
  CHECK(ids.size() == 2);
  CHECK(ids.records().size() == 2);
}

TEST_CASE("a missing MS level counts as 1; NaN equals nothing") {
  AcquisitionConditionRecord none = condition(1, std::nullopt);
  none.core.ms_level.reset();
  CHECK(same_condition(none, condition(1, std::nullopt)));
  CHECK(condition_hash(none) == condition_hash(condition(1, std::nullopt)));
  const AcquisitionConditionRecord nan = condition(2, std::nan(""));
  CHECK_FALSE(same_condition(nan, nan));
}

TEST_CASE("conditions sort by level, polarity, then no energy before any") {
  CHECK(condition_sorts_before(condition(1, 10.0), condition(2, std::nullopt)));
  CHECK(condition_sorts_before(condition(2, std::nullopt), condition(2, 10.0)));
  CHECK(condition_sorts_before(condition(2, 10.0), condition(2, 20.0)));
  CHECK_FALSE(condition_sorts_before(condition(2, 20.0), condition(2, 10.0)));
}

TEST_CASE("objects are numbered by identity, each once") {
  ConditionIds ids;
  int a = 0, b = 0;
  bool added;
  const uint32_t first = ids.of_object(reinterpret_cast<uintptr_t>(&a), added);
  CHECK(added);
  CHECK(ids.of_object(reinterpret_cast<uintptr_t>(&a), added) == first);
  CHECK_FALSE(added);
  const uint32_t second = ids.of_object(reinterpret_cast<uintptr_t>(&b), added);
  CHECK(added);
  CHECK(second != first);
  CHECK(ids.of_object(reinterpret_cast<uintptr_t>(&a), added) == first);
  CHECK_FALSE(added);
}

TEST_CASE("answers are asked once per number and question") {
  ConditionAnswers answers(2);
  int asked = 0;
  auto ask = [&](uint32_t id, size_t q) {
    ++asked;
    return (id + q) % 2 == 0;
  };
  CHECK(answers.get(0, 0, ask));
  CHECK_FALSE(answers.get(0, 1, ask));
  CHECK(answers.get(0, 0, ask));
  CHECK(answers.get(7, 1, ask));
  CHECK(asked == 3);
}

TEST_CASE("conditions: many objects keep their numbers as the table grows") {
  std::vector<double> objects(5000);
  ConditionIds ids;
  bool added = false;
  for (size_t round = 0; round < 2; ++round)
    for (size_t i = 0; i < objects.size(); i += 1 + round) {
      CHECK(ids.of_object(reinterpret_cast<uintptr_t>(&objects[i]), added) == i);
      CHECK(added == (round == 0));
    }
  CHECK(ids.size() == objects.size());
}
