#include "condition_ids.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <tuple>

namespace vorn::analysis {
namespace {

// Objects lie at least 16 bytes apart: the low bits say little.
size_t object_slot(uintptr_t address) {
  return static_cast<size_t>((address >> 4) * 0x9e3779b97f4a7c15ull >> 16);
}

// Python equality of two optional numbers: None equals only None; NaN equals
// nothing.
template <typename T>
bool same(const std::optional<T>& a, const std::optional<T>& b) {
  if (a.has_value() != b.has_value()) return false;
  return !a || *a == *b;
}

void mix(size_t& h, size_t v) {
  h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
}

void mix_double(size_t& h, const std::optional<double>& v) {
  if (!v) return mix(h, 1);
  if (std::isnan(*v)) return mix(h, 2);
  mix(h, std::hash<double>{}(*v == 0.0 ? 0.0 : *v));  // -0.0 equals 0.0
}

void mix_range(size_t& h, const std::optional<Range>& r) {
  if (!r) return mix(h, 3);
  mix_double(h, r->min);
  mix_double(h, r->max);
}

int64_t level_of(const CoreCondition& c) {
  return c.ms_level ? *c.ms_level : 1;
}

bool same_vendor(const std::optional<VendorCondition>& a, const std::optional<VendorCondition>& b) {
  if (a.has_value() != b.has_value()) return false;
  if (!a) return true;
  if (a->type != b->type) return false;
  switch (a->type) {
    case VendorType::kWatersMassLynx:
    case VendorType::kSciexAnalyst:
      return same(a->original_id, b->original_id) && same(a->cone_voltage, b->cone_voltage);
    case VendorType::kAgilentMassHunter:
    case VendorType::kThermoFisherRawFileReader:
      return same(a->cone_voltage, b->cone_voltage);
    case VendorType::kShimadzuIoModule:
      return same(a->original_id, b->original_id);
  }
  return false;
}

bool same_scan(const std::optional<TripleQScan>& a, const std::optional<TripleQScan>& b) {
  if (a.has_value() != b.has_value()) return false;
  if (!a) return true;
  if (a->type != b->type || !same(a->target_mz, b->target_mz)) return false;
  bool q1 = same(a->q1_range, b->q1_range), q3 = same(a->q3_range, b->q3_range);
  switch (a->type) {
    case TripleQScanType::kProduct:
      return q3;
    case TripleQScanType::kPrecursor:
      return q1;
    default:
      return q1 && q3;
  }
}

}  // namespace

bool same_condition(const AcquisitionConditionRecord& a, const AcquisitionConditionRecord& b) {
  const CoreCondition &x = a.core, &y = b.core;
  return level_of(x) == level_of(y) && same(x.polarity, y.polarity) &&
         same(x.collision_energy, y.collision_energy) &&
         same(a.precursor_value, b.precursor_value) &&
         same(x.original_measured_spectrum_type, y.original_measured_spectrum_type) &&
         same(a.precursor_range, b.precursor_range) && same(x.mass_range, y.mass_range) &&
         same_vendor(x.vendor, y.vendor) && same_scan(x.triple_q, y.triple_q);
}

size_t condition_hash(const AcquisitionConditionRecord& c) {
  size_t h = 0;
  mix(h, static_cast<size_t>(level_of(c.core)));
  mix(h, c.core.polarity ? static_cast<size_t>(*c.core.polarity) : 99);
  mix_double(h, c.core.collision_energy);
  mix_double(h, c.precursor_value);
  mix(h, c.core.original_measured_spectrum_type
             ? static_cast<size_t>(*c.core.original_measured_spectrum_type)
             : 99);
  mix_range(h, c.precursor_range);
  mix_range(h, c.core.mass_range);
  // Vendor and scan conditions only narrow equality further; their type is
  // enough for the hash.
  mix(h, c.core.vendor ? static_cast<size_t>(c.core.vendor->type) : 99);
  mix(h, c.core.triple_q ? static_cast<size_t>(c.core.triple_q->type) : 99);
  return h;
}

bool condition_sorts_before(const AcquisitionConditionRecord& a,
                            const AcquisitionConditionRecord& b) {
  auto key = [](const AcquisitionConditionRecord& c) {
    const auto& ce = c.core.collision_energy;
    return std::make_tuple(
        level_of(c.core), c.core.polarity ? static_cast<int>(*c.core.polarity) : 99, ce.has_value(),
        ce && std::isnan(*ce), ce && !std::isnan(*ce) ? *ce : 0.0);
  };
  return key(a) < key(b);
}

uint32_t ConditionIds::of_object(uintptr_t address, bool& added) {
  added = false;
  // Neighbouring spectra mostly share their condition object.
  if (address == last_address_ && count_ > 0) return last_id_;
  // At most half full: probes stay short.
  if ((static_cast<size_t>(count_) + 1) * 2 > by_object_.size()) {
    std::vector<std::pair<uintptr_t, uint32_t>> old(std::max<size_t>(64, by_object_.size() * 2));
    old.swap(by_object_);
    const size_t mask = by_object_.size() - 1;
    for (const auto& [a, id] : old)
      if (a) {
        size_t k = object_slot(a) & mask;
        while (by_object_[k].first) k = (k + 1) & mask;
        by_object_[k] = {a, id};
      }
  }
  const size_t mask = by_object_.size() - 1;
  size_t k = object_slot(address) & mask;
  while (by_object_[k].first && by_object_[k].first != address) k = (k + 1) & mask;
  if (!by_object_[k].first) {
    by_object_[k] = {address, count_++};
    added = true;
  }
  last_address_ = address;
  last_id_ = by_object_[k].second;
  return last_id_;
}

uint32_t ConditionIds::find_record(const AcquisitionConditionRecord& c) const {
  auto [lo, hi] = by_hash_.equal_range(condition_hash(c));
  for (auto it = lo; it != hi; ++it)
    if (same_condition(records_[it->second], c)) return it->second;
  return kNone;
}

uint32_t ConditionIds::add_record(AcquisitionConditionRecord c) {
  const uint32_t id = count_++;
  by_hash_.emplace(condition_hash(c), id);
  records_.push_back(std::move(c));
  return id;
}

}  // namespace vorn::analysis
