#include "record_limits.hpp"

#include <unordered_set>

#include "errors.hpp"
#include "format.hpp"

namespace vorn {
namespace {

void check_text(const std::string& text, const std::string& what) {
  if (text.size() > limits::kString)
    throw UsageError(what + " is longer than 16 MiB, the longest text a container file holds (" +
                     std::to_string(text.size()) + " bytes)");
}

void check_text(const std::optional<std::string>& text, const std::string& what) {
  if (text) check_text(*text, what);
}

void check_count(size_t n, uint64_t limit, const std::string& what) {
  if (n > limit)
    throw UsageError(what + ": " + std::to_string(n) + " entries, more than the " +
                     std::to_string(limit) + " a container file holds");
}

}  // namespace

void check_properties(const Properties& p, const std::string& what) {
  check_count(p.size(), limits::kProperties, what);
  // Tables are mostly a handful of entries: compare pairs unless there are many.
  const bool few = p.size() <= 16;
  std::unordered_set<std::string_view> keys;
  for (size_t i = 0; i < p.size(); ++i) {
    const auto& [key, value] = p[i];
    check_text(key, what + " key");
    bool repeated = false;
    if (few) {
      for (size_t j = 0; j < i && !repeated; ++j) repeated = p[j].first == key;
    } else {
      repeated = !keys.insert(key).second;
    }
    if (repeated) throw UsageError(what + " has the key '" + key.substr(0, 80) + "' twice");
    if (const auto* text = std::get_if<std::string>(&value))
      check_text(*text, what + " '" + key.substr(0, 80) + "'");
  }
}

namespace {
void check_field(const std::optional<std::string>& text, const char* what) {
  check_text(text, what);
}
void check_field(const std::optional<double>&, const char*) {}
void check_field(const std::optional<Properties>& p, const char* what) {
  if (p) check_properties(*p, std::string("measurement ") + what);
}
}  // namespace

void check_limits(const MeasurementDescription& m) {
#define VORN_FIELD(member, type, words, kind) check_field(m.member, words);
  VORN_MEASUREMENT_FIELDS(VORN_FIELD)
#undef VORN_FIELD
}

void check_limits(const AcquisitionConditionRecord& c, const std::string& what) {
  if (c.core.vendor) check_text(c.core.vendor->scan_info_string, what + " scan info string");
}

void check_limits(const SpectrumDescription& s) {
  if (s.product_indices)
    check_count(s.product_indices->size(), limits::kProductIndices, "product indices");
  if (s.possible_charge_states)
    check_count(s.possible_charge_states->size(), limits::kChargeStates, "possible charge states");
  check_text(s.activation_method, "activation method");
  if (s.supplemental_properties)
    check_properties(*s.supplemental_properties, "supplemental properties");
}

}  // namespace vorn
