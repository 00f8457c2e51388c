#include "spectrum_selection.hpp"

#include <cmath>
#include <limits>
#include <string_view>

#include "../_glue/python.hpp"
#include "../_glue/xic_fill.hpp"
#include "qual.hpp"
#include "vorn_core/analysis/selection.hpp"

namespace vorn::py {
namespace {

using R = SpectrumField;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const char* kScanFilter = "ScanFilter";

double number_or_nan(nb::handle h) {
  return is_none_eq(h) ? kNaN : number(h);
}

// Whether a condition object has the filter's MS level and polarity.
bool condition_passes(const SpectrumFilter& f, nb::handle condition) {
  auto same = [](nb::handle a, nb::handle b) { return a.ptr() == b.ptr() || eq(a, b); };
  nb::object level, polarity;
  if (const AcquisitionCondition* native = exact<AcquisitionCondition>(condition)) {
    level = native->f[AcquisitionCondition::kMsLevel];
    polarity = native->f[AcquisitionCondition::kPolarity];
  } else {
    if (is_none_eq(condition)) return false;
    if (!f.ms_level.is_none()) level = condition.attr("ms_level");
    if (!f.polarity.is_none()) polarity = condition.attr("polarity");
  }
  if (!f.ms_level.is_none() && !same(level, f.ms_level)) return false;
  if (!f.polarity.is_none() && !same(polarity, f.polarity)) return false;
  return true;
}

bool starts_with(std::string_view text, const std::string& prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

ValueRange bounds_of(nb::handle range, const char* name) {
  if (nb::hasattr(range, "min") && nb::hasattr(range, "max")) return range_of(range);
  nb::object pair = nb::steal(PySequence_Tuple(range.ptr()));
  if (!pair.is_valid() || PyTuple_GET_SIZE(pair.ptr()) != 2) {
    PyErr_Clear();
    throw nb::type_error(
        (std::string(name) + " must be a ValueRange or a (min, max) pair").c_str());
  }
  return ValueRange{number(pair[0]), number(pair[1])};
}

SpectrumFilter::SpectrumFilter(nb::handle level, nb::handle pol, nb::handle filter,
                               nb::handle rt_range)
    : ms_level(nb::borrow(level)), polarity(nb::borrow(pol)) {
  if (!filter.is_none()) {
    if (!PyUnicode_Check(filter.ptr())) throw nb::type_error("scan_filter must be a str or None");
    scan_filter = nb::cast<std::string>(filter);
  }
  if (!rt_range.is_none()) {
    rt_limited = true;
    ValueRange r = bounds_of(rt_range, "rt_range");
    rt_lo = r.min;
    rt_hi = r.max;
  }
}

double description_number(const SpectrumEntry& e, int field) {
  SpectrumDescriptionObject* d = e.native();
  if (d && !d->slots[field]) {
    const SpectrumDescription* row = decoded_row(d);
    std::optional<double> v;
    if (row) switch (field) {
        case R::kCurrentTotalIon:
          v = row->current_total_ion;
          break;
        case R::kBasePeakIntensity:
          v = row->base_peak_intensity;
          break;
        case R::kBasePeakMz:
          v = row->base_peak_mz;
          break;
        case R::kPrecursorValue:
          v = row->precursor_value;
          break;
        case R::kCollisionEnergy:
          v = row->collision_energy;
          break;
        case R::kRetentionTime:
          v = row->retention_time;
          break;
        default:
          return number_or_nan(e.get(field));
      }
    return v ? *v : kNaN;
  }
  return number_or_nan(e.get(field));
}

std::optional<std::string> scan_filter_of(const SpectrumEntry& e) {
  SpectrumDescriptionObject* d = e.native();
  if (d && !d->slots[R::kSupplementalProperties]) {
    const SpectrumDescription* row = decoded_row(d);
    if (!row || !row->supplemental_properties) return std::nullopt;
    for (const auto& [key, value] : *row->supplemental_properties)
      if (key == kScanFilter) {
        if (const auto* s = std::get_if<std::string>(&value)) return *s;
        return std::nullopt;
      }
    return std::nullopt;
  }
  nb::object properties = e.get(R::kSupplementalProperties);
  if (!PyMapping_Check(properties.ptr()) || PyUnicode_Check(properties.ptr())) return std::nullopt;
  nb::object value = nb::steal(PyObject_GetItem(properties.ptr(), nb::str(kScanFilter).ptr()));
  if (!value.is_valid()) {
    if (!PyErr_ExceptionMatches(PyExc_KeyError)) throw nb::python_error();
    PyErr_Clear();
    return std::nullopt;
  }
  if (!PyUnicode_Check(value.ptr())) return std::nullopt;
  return nb::cast<std::string>(value);
}

Selection::Selection(nb::handle list, const SpectrumFilter& filter)
    : rows(list, {.strict_times = true}) {
  const bool by_condition = !filter.ms_level.is_none() || !filter.polarity.is_none();
  ConditionMemo conditions;
  chosen = analysis::select_rows(rows.table, nullptr, [&](size_t r) {
    const double rt = rows.table.rt[r];
    if (filter.rt_limited && !(filter.rt_lo <= rt && rt <= filter.rt_hi)) return false;
    if (!by_condition && !filter.scan_filter) return true;
    const SpectrumEntry e = rows.entry(r);
    if (by_condition && !conditions.get(e.get(kAcquisitionCondition),
                                        [&](nb::handle c) { return condition_passes(filter, c); }))
      return false;
    if (!filter.scan_filter) return true;
    std::optional<std::string> stored = scan_filter_of(e);
    return stored && starts_with(*stored, *filter.scan_filter);
  });
}

}  // namespace vorn::py
