// What a writer checks before it stores a record: every text, list and
// property table within the limits a reader enforces (docs/format.md,
// "Limits"), and property keys distinct, so that no file it writes is one the
// reader refuses. Each check throws UsageError naming the field.
#pragma once

#include <string>

#include "records.hpp"

namespace vorn {

void check_limits(const MeasurementDescription& m);
void check_limits(const AcquisitionConditionRecord& c, const std::string& what);
void check_properties(const Properties& p, const std::string& what);
void check_limits(const SpectrumDescription& s);

}  // namespace vorn
