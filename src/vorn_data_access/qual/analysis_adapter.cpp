#include "analysis_adapter.hpp"

#include <cmath>
#include <limits>

#include "../_glue/point_list.hpp"
#include "../_glue/python.hpp"
#include "../_glue/reader.hpp"
#include "../_glue/xic_fill.hpp"

namespace vorn::py {

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// In the position column: not read by the fill.
constexpr int64_t kUnread = std::numeric_limits<int64_t>::min();
}  // namespace

SpectrumRows::SpectrumRows(nb::handle list, Columns columns, const EachRow& each) {
  const Py_ssize_t n = PyObject_Length(list.ptr());
  if (n < 0) throw nb::python_error();
  auto& t = table;
  const auto count = static_cast<size_t>(n);
  if (columns.records) records_.reserve(count);
  if (columns.positions) t.position.reserve(count);
  t.timed.reserve(count);
  t.rt.reserve(count);
  exact_time_.reserve(count);
  if (columns.conditions) t.condition.reserve(count);
  size_t r = 0;
  // The iterator holds the record it gives until the next one.
  for (nb::handle item : list) {
    if (columns.records) records_.push_back(nb::borrow(item));
    if (columns.positions) {
      SpectrumIndexObject* native = as_spectrum_index(item.ptr());
      t.position.push_back(native && !native->position && native->has_position_value
                               ? native->position_value
                               : kUnread);
    }
    SpectrumEntry e(item);
    double rt = kNaN;
    // Read through the field's object, which a description makes once and
    // keeps: on every later call that costs less than its decoded row, which
    // lies apart from the description in a block of its own.
    nb::object value = e.get(kRetentionTime);
    const bool exact = PyFloat_CheckExact(value.ptr());
    bool timed = exact;
    if (exact) {
      rt = PyFloat_AS_DOUBLE(value.ptr());
    } else {
      timed = !is_none_eq(value);
      if (timed) {
        rt = PyFloat_AsDouble(value.ptr());
        if (rt == -1.0 && PyErr_Occurred()) {
          if (columns.strict_times) throw nb::python_error();
          PyErr_Clear();
          rt = kNaN;
        }
      }
    }
    t.timed.push_back(timed ? 1 : 0);
    t.rt.push_back(rt);
    exact_time_.push_back(exact ? 1 : 0);
    if (columns.conditions) {
      uint32_t id = analysis::kNoCondition;
      if (timed) {
        nb::object c = e.get(kAcquisitionCondition);
        bool added;
        id = ids_.of_object(reinterpret_cast<uintptr_t>(c.ptr()), added);
        if (added) conditions_.push_back(std::move(c));
      }
      t.condition.push_back(id);
    }
    if (each) each(*this, r, e);
    ++r;
  }
}

int64_t SpectrumRows::position(size_t r) const {
  if (!table.position.empty() && table.position[r] != kUnread) return table.position[r];
  return entry(r).position_value();
}

void points_of(nb::handle list, analysis::Points& out) {
  out.x.clear();
  out.intensity.clear();
  if (const SpectrumPointList* l = exact<SpectrumPointList>(list)) {
    const size_t n = l->size();
    out.x.resize(n);
    out.intensity.resize(n);
    l->x.visit([&](const auto& xs) {
      for (size_t i = 0; i < n; ++i) out.x[i] = static_cast<double>(xs[i]);
    });
    l->intensity.visit([&](const auto& is) {
      for (size_t i = 0; i < n; ++i) out.intensity[i] = static_cast<double>(is[i]);
    });
    return;
  }
  for (nb::handle point : list) {
    out.x.push_back(number(point.attr("x")));
    out.intensity.push_back(number(point.attr("intensity")));
  }
}

RowSource::RowSource(const SpectrumRows& spectra, std::vector<size_t> rows, nb::handle reader,
                     ProtocolRead how, nb::handle wavelength_arr, nb::handle xic_arr,
                     bool may_decode)
    : rows_(std::move(rows)),
      reader_(nb::borrow(reader)),
      wl_object_(nb::borrow(wavelength_arr)),
      xic_arr_(xic_arr.is_valid() ? nb::borrow(xic_arr) : nb::none()) {
  has_wl_ = how != ProtocolRead::kSpectrum && !is_none_eq(wl_object_);
  if (has_wl_)
    for (nb::handle v : wl_object_) wl_.push_back(number(v));
  VdpFileReader* native = may_decode ? exact<VdpFileReader>(reader) : nullptr;
  if (native) {
    file_ = native->get().file();
    positions_.reserve(rows_.size());
    for (size_t r : rows_) positions_.push_back(spectra.position(r));
    source_.file = file_.get();
    source_.positions = positions_;
    source_.wavelengths = has_wl_ ? &wl_ : nullptr;
    return;
  }
  source_.count = rows_.size();
  const SpectrumRows* table = &spectra;
  source_.read = [this, table, how](size_t s, analysis::Points& out) {
    nb::object position = spectrum_position(table->record(rows_[s]));
    reader_.attr("_VdpFileReader__set_buffer")(position);
    if (how == ProtocolRead::kSpectrum || (how == ProtocolRead::kAbsorbance && !has_wl_)) {
      points_of(reader_.attr("_VdpFileReader__read_spectrum")(), out);
    } else if (how == ProtocolRead::kAbsorbance) {
      points_of(reader_.attr("_VdpFileReader__read_dad_spectrum")(wl_object_), out);
    } else {
      for (nb::handle info : xic_arr_) {
        info.attr("_XicInfo__is_break_to_read") = nb::bool_(false);
        info.attr("_XicInfo__spectrum_point").attr("clear")();
      }
      if (has_wl_)
        reader_.attr("_VdpFileReader__read_dad_spectrum_for_multiple_xic")(xic_arr_, wl_object_);
      else
        reader_.attr("_VdpFileReader__read_spectrum_for_multiple_xic")(xic_arr_);
      points_of(nb::handle(xic_arr_)[0].attr("_XicInfo__spectrum_point"), out);
    }
  };
}

}  // namespace vorn::py
