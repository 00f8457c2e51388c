// Equality of acquisition conditions as the qual analysis compares them, for
// finding the distinct conditions of a function at write time: the MS level
// (None counts as 1), polarity, collision energy, precursor value, original
// spectrum type, ranges, and the fields of the vendor and scan conditions that
// take part in those conditions' own equality.
#pragma once

#include <cstddef>

#include "records.hpp"

namespace vorn {

bool same_condition(const AcquisitionConditionRecord& a, const AcquisitionConditionRecord& b);
size_t condition_hash(const AcquisitionConditionRecord& c);
// The qual analysis's order: MS level, polarity, then no collision energy
// before any, then ascending collision energy.
bool condition_sorts_before(const AcquisitionConditionRecord& a,
                            const AcquisitionConditionRecord& b);

}  // namespace vorn
