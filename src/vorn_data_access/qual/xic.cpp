#include "xic.hpp"

#include <algorithm>
#include <exception>
#include <limits>
#include <thread>
#include <vector>

#include "../_glue/point_list.hpp"
#include "../_glue/python.hpp"
#include "../_glue/reader.hpp"
#include "../_glue/records.hpp"
#include "../_glue/value_types.hpp"
#include "../_glue/xic_fill.hpp"
#include "chromatogram.hpp"
#include "condition_groups.hpp"
#include "record_access.hpp"
#include "vorn_core/spectrum_block.hpp"
#include "window_sums.hpp"

namespace vorn::py {
namespace {

using R = SpectrumDescriptionRecord;

struct Request {
  nb::object option;
  nb::object condition;
  nb::object rt_range;  // None: no limit
  bool window_known = false;
  double lo = 0, hi = 0;
  nb::list points;
  GroupAnswers same;  // condition equal to a spectrum's, per group

  void read_window() {
    if (window_known) return;
    nb::object range;
    if (auto* o = exact<ChromatogramFilterOption>(option))
      range = o->extract_mz_range;
    else
      range = option.attr("extract_mz_range");
    ValueRange r = range_of(range);
    lo = r.min;
    hi = r.max;
    window_known = true;
  }
};

nb::object option_condition(nb::handle option) {
  if (auto* o = exact<ChromatogramFilterOption>(option)) return o->acquisition_condition;
  return option.attr("acquisition_condition");
}

nb::object option_rt_range(nb::handle option) {
  if (auto* o = exact<ChromatogramFilterOption>(option)) return o->retention_time_range;
  return option.attr("retention_time_range");
}

// A spectrum that passed the prefilter and the requests it takes part in.
struct Kept {
  SpectrumEntry entry;
  nb::object index, rt, position;
  size_t first_request = 0;  // into `applicable`
};

// The retention-time prefilter: bounds covering every request, or none.
struct Prefilter {
  bool unlimited = false, started = false;
  nb::object lo, hi;

  void merge(nb::handle range) {
    if (is_none_eq(range)) {
      unlimited = true;
      return;
    }
    if (unlimited) return;
    nb::object mn = range.attr("min"), mx = range.attr("max");
    if (!started) {
      lo = mn;
      hi = mx;
      started = true;
      return;
    }
    if (lt(mn, lo)) lo = mn;
    if (gt(mx, hi)) hi = mx;
  }
  bool admits(nb::handle rt) const {
    if (unlimited || !started) return true;
    if (PyFloat_CheckExact(rt.ptr()) && PyFloat_CheckExact(lo.ptr()) && PyFloat_CheckExact(hi.ptr())) {
      double v = PyFloat_AS_DOUBLE(rt.ptr());
      return PyFloat_AS_DOUBLE(lo.ptr()) <= v && v <= PyFloat_AS_DOUBLE(hi.ptr());
    }
    return compare(lo, rt, Py_LE) && compare(rt, hi, Py_LE);
  }
};

// Sums of every (spectrum, request) pair decoded from the package's own
// file: only the chunks the spectrum's windows touch are decoded, in as many
// threads as the machine has cores (at most four), without the GIL.
void sum_natively(const MappedFile& file, const std::vector<int64_t>& positions,
                  const std::vector<size_t>& begin, const std::vector<uint32_t>& applicable,
                  const std::vector<Request*>& requests, double lowest,
                  std::vector<WindowSum>& results) {
  std::vector<double> lo(requests.size()), hi(requests.size());
  for (size_t j = 0; j < requests.size(); ++j) {
    lo[j] = requests[j]->lo;
    hi[j] = requests[j]->hi;
  }
  auto work = [&](size_t from, size_t to) {
    std::vector<uint8_t> xbuf, ibuf;
    for (size_t s = from; s < to; ++s) {
      if (begin[s] == begin[s + 1]) continue;
      if (positions[s] < 0) throw FormatError("negative spectrum position", 0);
      SpectrumBlock block(file.bytes(), static_cast<uint64_t>(positions[s]));
      if (!block.has_x())
        throw FormatError("spectrum stores no x values", static_cast<uint64_t>(positions[s]));
      double ulo = std::numeric_limits<double>::infinity(), uhi = -ulo;
      for (size_t k = begin[s]; k < begin[s + 1]; ++k) {
        ulo = std::min(ulo, lo[applicable[k]]);
        uhi = std::max(uhi, hi[applicable[k]]);
      }
      auto [c0, c1] = block.chunks_for(ulo, uhi);
      if (std::isnan(ulo) || std::isnan(uhi)) c0 = 0, c1 = block.chunks().size();
      size_t n = 0;
      for (size_t c = c0; c < c1; ++c) n += block.chunks()[c].points;
      const size_t xw = block.x_f32() ? 4 : 8, iw = block.intensity_f32() ? 4 : 8;
      xbuf.resize(n * xw);
      ibuf.resize(n * iw);
      size_t at = 0;
      for (size_t c = c0; c < c1; ++c) {
        block.decode_chunk(c, xbuf.data() + at * xw, ibuf.data() + at * iw);
        at += block.chunks()[c].points;
      }
      auto run = [&](const auto* x, const auto* in) {
        for (size_t k = begin[s]; k < begin[s + 1]; ++k)
          results[k] = sum_ascending(x, in, n, lo[applicable[k]], hi[applicable[k]], lowest);
      };
      const void *xp = xbuf.data(), *ip = ibuf.data();
      if (block.x_f32() && block.intensity_f32())
        run(static_cast<const float*>(xp), static_cast<const float*>(ip));
      else if (block.x_f32())
        run(static_cast<const float*>(xp), static_cast<const double*>(ip));
      else if (block.intensity_f32())
        run(static_cast<const double*>(xp), static_cast<const float*>(ip));
      else
        run(static_cast<const double*>(xp), static_cast<const double*>(ip));
    }
  };
  const size_t count = positions.size();
  size_t threads = std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()), 4);
  if (count < 64) threads = 1;
  std::vector<std::exception_ptr> errors(threads);
  std::vector<std::thread> pool;
  // Interleaved blocks of spectra keep the threads' shares alike.
  constexpr size_t kBlock = 32;
  auto share = [&](size_t t) {
    try {
      for (size_t from = t * kBlock; from < count; from += threads * kBlock)
        work(from, std::min(count, from + kBlock));
    } catch (...) {
      errors[t] = std::current_exception();
    }
  };
  for (size_t t = 1; t < threads; ++t) pool.emplace_back(share, t);
  share(0);
  for (auto& th : pool) th.join();
  for (auto& e : errors)
    if (e) std::rethrow_exception(e);
}

// The sum of one request over a point list a reader returned.
WindowSum sum_points(nb::handle points, double lo, double hi, double lowest) {
  if (const SpectrumPointList* l = exact<SpectrumPointList>(points)) {
    WindowSum r;
    auto run = [&](const auto& xs) {
      l->intensity.visit([&](const auto& is) {
        r = scan_window(xs.data(), is.data(), std::min(xs.size(), is.size()), lo, hi, lowest);
      });
    };
    l->x.visit(run);
    return r;
  }
  WindowSum r;
  double base = lowest;
  for (nb::handle p : points) {
    double x = number(p.attr("x"));
    if (x < lo) continue;
    if (x > hi) break;
    double v = number(p.attr("intensity"));
    if (base < v) {
      base = v;
      r.base_x = x;
    }
    r.sum += v;
  }
  return r;
}

nb::object as_float(double v, nb::handle zero) {
  if (v == 0.0 && !std::signbit(v)) return nb::borrow(zero);
  return nb::float_(v);
}

}  // namespace

nb::list multiple_xic(QualAnalysis& a, nb::handle options) {
  if (is_none_eq(options) || PyObject_Length(options.ptr()) == 0) {
    PyErr_Clear();
    raise_exception("chromatogram_filter_options is null or empty");
  }
  const Py_ssize_t count = PyObject_Length(options.ptr());
  std::vector<Request> requests(static_cast<size_t>(count));
  nb::set conditions;
  Prefilter prefilter;
  for (Py_ssize_t j = 0; j < count; ++j) {
    Request& r = requests[static_cast<size_t>(j)];
    r.option = options[j];
    if (is_none_eq(r.option)) raise_exception("element of chromatogram_filter_options should not be null");
    r.condition = option_condition(r.option);
    if (is_none_eq(r.condition)) raise_exception("acquisition_condition should not be null");
    conditions.add(r.condition);
    r.rt_range = option_rt_range(r.option);
    prefilter.merge(r.rt_range);
  }

  // The spectra any request may use, and for each the requests it serves.
  ConditionGroups groups(true);
  GroupAnswers in_set;
  auto member = [&](nb::handle c) {
    int found = PySet_Contains(conditions.ptr(), c.ptr());
    if (found < 0) throw nb::python_error();
    return found == 1;
  };
  std::vector<Kept> kept;
  std::vector<uint32_t> applicable;
  for (nb::handle item : a.spectrum_index_list) {
    SpectrumEntry e(item);
    nb::object rt = e.get(R::kRetentionTime);
    if (is_none_eq(rt)) continue;
    nb::object condition = e.get(R::kAcquisitionCondition);
    if (!in_set.get(groups, condition, member) || !prefilter.admits(rt)) continue;
    Kept k{e, e.get(R::kIndex), rt, e.position(), applicable.size()};
    for (size_t j = 0; j < requests.size(); ++j) {
      Request& r = requests[j];
      auto same = [&](nb::handle c) { return !ne(r.condition, c); };
      if (!r.same.get(groups, condition, same)) continue;
      if (!is_none_eq(r.rt_range) && !range_contains(r.rt_range, rt)) continue;
      r.read_window();
      applicable.push_back(static_cast<uint32_t>(j));
    }
    kept.push_back(std::move(k));
  }
  std::vector<size_t> begin;
  for (const Kept& k : kept) begin.push_back(k.first_request);
  begin.push_back(applicable.size());

  const double lowest = -float_info_max();
  std::vector<WindowSum> results(applicable.size());
  if (VdpFileReader* reader = exact<VdpFileReader>(a.reader)) {
    std::vector<int64_t> positions;
    for (const Kept& k : kept) positions.push_back(nb::cast<int64_t>(k.position));
    std::vector<Request*> by_index;
    for (Request& r : requests) by_index.push_back(&r);
    std::shared_ptr<const MappedFile> file = reader->get().file();
    nb::gil_scoped_release release;
    sum_natively(*file, positions, begin, applicable, by_index, lowest, results);
  } else {
    for (size_t s = 0; s < kept.size(); ++s) {
      a.reader.attr("_VdpFileReader__set_buffer")(kept[s].position);
      nb::object points = a.reader.attr("_VdpFileReader__read_spectrum")();
      for (size_t k = begin[s]; k < begin[s + 1]; ++k) {
        const Request& r = requests[applicable[k]];
        results[k] = sum_points(points, r.lo, r.hi, lowest);
      }
    }
  }

  PointMaker points;
  nb::float_ zero(0.0);
  for (size_t s = 0; s < kept.size(); ++s)
    for (size_t k = begin[s]; k < begin[s + 1]; ++k)
      points.append(requests[applicable[k]].points, kept[s].index, kept[s].rt,
                    as_float(results[k].sum, zero), as_float(results[k].base_x, zero));
  nb::list out;
  for (Request& r : requests) out.append(r.points);
  return out;
}

}  // namespace vorn::py
