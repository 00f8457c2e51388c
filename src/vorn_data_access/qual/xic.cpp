#include "xic.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <limits>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "../_glue/point_list.hpp"
#include "../_glue/python.hpp"
#include "../_glue/reader.hpp"
#include "../_glue/records.hpp"
#include "../_glue/value_types.hpp"
#include "../_glue/xic_fill.hpp"
#include "chromatogram.hpp"
#include "record_access.hpp"
#include "vorn_core/analysis/parallel.hpp"
#include "vorn_core/analysis/xic.hpp"
#include "vorn_core/spectrum_block.hpp"

namespace vorn::py {
namespace {

using R = SpectrumField;
using analysis::scan_window;
using analysis::WindowSum;

struct Request {
  nb::object option, condition, rt_range;  // rt_range None: no limit
  const ValueRange* native_rt_range = nullptr;
  size_t distinct = 0;  // index of its condition among the distinct ones
  double lo = 0, hi = 0;
  nb::list points;
};

nb::object option_field(nb::handle option, int which) {
  if (auto* o = exact<ChromatogramFilterOption>(option))
    return which == 0 ? o->acquisition_condition
                      : which == 1 ? o->extract_mz_range : o->retention_time_range;
  return option.attr(which == 0 ? "acquisition_condition"
                                : which == 1 ? "extract_mz_range" : "retention_time_range");
}

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
  bool limited() const { return started && !unlimited; }
  bool native(double& l, double& h) const {
    if (!PyFloat_CheckExact(lo.ptr()) || !PyFloat_CheckExact(hi.ptr())) return false;
    l = PyFloat_AS_DOUBLE(lo.ptr());
    h = PyFloat_AS_DOUBLE(hi.ptr());
    return true;
  }
};

// What a spectrum's condition means for the call: whether it is in the
// requests' condition set, and whether it equals each distinct requested
// condition. Comparisons go condition by condition, natively for
// AcquisitionCondition objects: hashing every spectrum's condition (each MS2
// spectrum of a DDA run has its own) would cost more than the comparisons.
class ConditionAnswers {
 public:
  ConditionAnswers(std::vector<nb::object> distinct, nb::handle set)
      : distinct_(std::move(distinct)), set_(set) {
    all_native_ = std::all_of(distinct_.begin(), distinct_.end(),
                              [](const nb::object& q) { return exact<AcquisitionCondition>(q); });
  }

  // Index into the answers of `condition`, computed on first sight.
  size_t of(nb::handle condition) {
    auto it = seen_.find(condition.ptr());
    if (it != seen_.end()) return it->second;
    const size_t d = distinct_.size();
    size_t at = answers_.size();
    answers_.resize(at + d + 1);
    bool in_set = false;
    if (all_native_ && exact<AcquisitionCondition>(condition)) {
      for (size_t q = 0; q < d; ++q) {
        bool same = distinct_[q].ptr() == condition.ptr() || conditions_equal(distinct_[q], condition);
        answers_[at + 1 + q] = same;
        in_set |= same;
      }
    } else {
      int found = PySet_Contains(set_.ptr(), condition.ptr());
      if (found < 0) throw nb::python_error();
      in_set = found == 1;
      for (size_t q = 0; q < d; ++q) answers_[at + 1 + q] = !ne(distinct_[q], condition);
    }
    answers_[at] = in_set;
    held_.push_back(nb::borrow(condition));  // keeps the address from being reused
    seen_.emplace(condition.ptr(), at);
    return at;
  }
  bool in_set(size_t at) const { return answers_[at]; }
  bool same(size_t at, size_t q) const { return answers_[at + 1 + q]; }

 private:
  std::vector<nb::object> distinct_;
  nb::handle set_;
  bool all_native_;
  std::unordered_map<PyObject*, size_t> seen_;
  std::vector<char> answers_;
  std::vector<nb::object> held_;
};

// A spectrum that passed the prefilter and the requests it serves:
// `applicable[first, next.first)`.
struct Kept {
  nb::object index, rt;
  nb::handle record;  // its SpectrumIndex (held by the analysis's list)
  size_t first;
};

struct Plan {
  std::vector<Request> requests;
  std::vector<Kept> kept;
  std::vector<uint32_t> applicable;
  std::vector<size_t> begin;  // kept.size() + 1 offsets into applicable
};

void validate_requests(nb::handle options, Plan& plan, nb::set& conditions, Prefilter& prefilter) {
  Py_ssize_t count = is_none_eq(options) ? 0 : PyObject_Length(options.ptr());
  if (count < 0) throw nb::python_error();
  if (count == 0) raise_exception("chromatogram_filter_options is null or empty");
  plan.requests.resize(static_cast<size_t>(count));
  for (Py_ssize_t j = 0; j < count; ++j) {
    Request& r = plan.requests[static_cast<size_t>(j)];
    r.option = options[j];
    if (is_none_eq(r.option))
      raise_exception("element of chromatogram_filter_options should not be null");
    r.condition = option_field(r.option, 0);
    if (is_none_eq(r.condition)) raise_exception("acquisition_condition should not be null");
    conditions.add(r.condition);
    r.rt_range = option_field(r.option, 2);
    prefilter.merge(r.rt_range);
  }
}

void read_window(Request& r, char& known) {
  ValueRange w = range_of(option_field(r.option, 1));
  r.lo = w.min;
  r.hi = w.max;
  known = 1;
}

void plan_spectra(QualAnalysis& a, Plan& plan, nb::handle conditions, const Prefilter& prefilter) {
  // Distinct requested condition objects (by identity).
  // Requests by distinct condition object, those without a retention-time
  // range apart (they take every spectrum of their condition).
  std::vector<nb::object> distinct;
  std::unordered_map<PyObject*, size_t> distinct_index;
  std::vector<std::vector<uint32_t>> unlimited, ranged;
  for (size_t j = 0; j < plan.requests.size(); ++j) {
    Request& r = plan.requests[j];
    auto [it, added] = distinct_index.emplace(r.condition.ptr(), distinct.size());
    if (added) {
      distinct.push_back(r.condition);
      unlimited.emplace_back();
      ranged.emplace_back();
    }
    r.distinct = it->second;
    if (is_none_eq(r.rt_range)) {
      unlimited[r.distinct].push_back(static_cast<uint32_t>(j));
    } else {
      r.native_rt_range = exact<ValueRange>(r.rt_range);
      ranged[r.distinct].push_back(static_cast<uint32_t>(j));
    }
  }
  ConditionAnswers answers(distinct, conditions);
  double pre_lo = 0, pre_hi = 0;
  const bool limited = prefilter.limited();
  const bool native_prefilter = limited && prefilter.native(pre_lo, pre_hi);
  std::vector<char> window_known(plan.requests.size(), 0);

  for (nb::handle item : a.spectrum_index_list) {
    SpectrumEntry e(item);
    double rt_value = 0;
    const bool rt_native = e.retention_time(rt_value);
    nb::object rt;
    if (!rt_native) {
      rt = e.get(R::kRetentionTime);
      if (is_none_eq(rt)) continue;
    }
    size_t at = answers.of(e.get(R::kAcquisitionCondition));
    if (!answers.in_set(at)) continue;
    if (limited) {
      bool inside;
      if (rt_native && native_prefilter) {
        inside = pre_lo <= rt_value && rt_value <= pre_hi;
      } else {
        if (!rt.is_valid()) rt = e.get(R::kRetentionTime);
        inside = compare(prefilter.lo, rt, Py_LE) && compare(rt, prefilter.hi, Py_LE);
      }
      if (!inside) continue;
    }
    if (!rt.is_valid()) rt = e.get(R::kRetentionTime);
    const size_t first = plan.applicable.size();
    size_t groups = 0;
    for (size_t q = 0; q < distinct.size(); ++q) {
      if (!answers.same(at, q)) continue;
      ++groups;
      if (!unlimited[q].empty() && !window_known[unlimited[q].front()]) {
        for (uint32_t j : unlimited[q]) read_window(plan.requests[j], window_known[j]);
        std::stable_sort(unlimited[q].begin(), unlimited[q].end(), [&](uint32_t x, uint32_t y) {
          return plan.requests[x].lo < plan.requests[y].lo;
        });
      }
      plan.applicable.insert(plan.applicable.end(), unlimited[q].begin(), unlimited[q].end());
      for (uint32_t j : ranged[q]) {
        Request& r = plan.requests[j];
        bool inside = r.native_rt_range && rt_native ? r.native_rt_range->contains(rt_value)
                                                     : range_contains(r.rt_range, rt);
        if (!inside) continue;
        if (!window_known[j]) read_window(r, window_known[j]);
        plan.applicable.push_back(j);
      }
      groups += ranged[q].empty() ? 0 : 1;
    }
    // Windows by lower bound let one sweep through a spectrum serve them all;
    // the order of a spectrum's requests does not matter to the results.
    auto by_lo = [&](uint32_t a, uint32_t b) { return plan.requests[a].lo < plan.requests[b].lo; };
    if (groups > 1)
      std::stable_sort(plan.applicable.begin() + static_cast<ptrdiff_t>(first),
                       plan.applicable.end(), by_lo);
    plan.kept.push_back({e.get(R::kIndex), rt, e.record(), first});
  }
  for (const Kept& k : plan.kept) plan.begin.push_back(k.first);
  plan.begin.push_back(plan.applicable.size());
}

// Decodes spectrum `s` (only the chunks its windows touch) and sums each of
// its requests. No Python: runs in worker threads.
void sum_spectrum(const MappedFile& file, int64_t position, const Plan& plan,
                  const analysis::XicWindows& windows, size_t s, double lowest,
                  std::vector<WindowSum>& results, analysis::XicScratch& scratch) {
  const size_t b = plan.begin[s], e = plan.begin[s + 1];
  if (b == e) return;
  if (position < 0) throw FormatError("negative spectrum position", 0);
  SpectrumBlock block(file.bytes(), static_cast<uint64_t>(position));
  analysis::sum_windows(block, windows, plan.applicable.data() + b, e - b, lowest,
                        results.data() + b, scratch);
}

// Fills each request's list, sized up front, with its points in spectrum order.
class PointBuilder {
 public:
  explicit PointBuilder(Plan& plan) : plan_(plan), zero_(0.0), filled_(plan.requests.size(), 0) {
    std::vector<Py_ssize_t> counts(plan.requests.size(), 0);
    for (uint32_t j : plan.applicable) ++counts[j];
    for (size_t j = 0; j < plan.requests.size(); ++j) {
      plan.requests[j].points = nb::steal<nb::list>(PyList_New(counts[j]));
      lists_.push_back(plan.requests[j].points.ptr());
    }
    nb::object cls = qual_name("SpectrumBasedChromatogramPoint");
    if (cls.ptr() == reinterpret_cast<PyObject*>(native_point_type())) native_ = native_point_type();
    cls_ = cls;
  }

  // Ten million points make this the hot loop of a large request: plain
  // allocations, and the new floats handed over without extra reference counting.
  void spectrum(size_t s, const std::vector<WindowSum>& results) {
    const Kept& k = plan_.kept[s];
    PyObject* index = k.index.ptr();
    PyObject* rt = k.rt.ptr();
    for (size_t i = plan_.begin[s]; i < plan_.begin[s + 1]; ++i) {
      const uint32_t j = plan_.applicable[i];
      PyObject* sum = new_float(results[i].sum);
      PyObject* base = new_float(results[i].base_x);
      PyObject* p;
      if (native_) {
        p = static_cast<PyObject*>(PyObject_Malloc(sizeof(ChromatogramPointObject)));
        if (!p) {
          Py_DECREF(sum);
          Py_DECREF(base);
          throw nb::python_error();
        }
        PyObject_Init(p, native_);
        auto* point = reinterpret_cast<ChromatogramPointObject*>(p);
        point->spectrum_index = Py_NewRef(index);
        point->retention_time = Py_NewRef(rt);
        point->intensity = sum;
        point->base_x = base;
      } else {
        nb::object made = cls_(nb::handle(index), nb::handle(rt), nb::steal(sum), nb::steal(base));
        p = made.release().ptr();
      }
      PyList_SET_ITEM(lists_[j], filled_[j]++, p);
    }
  }

 private:
  PyObject* new_float(double v) {
    if (v == 0.0 && !std::signbit(v)) return Py_NewRef(zero_.ptr());
    PyObject* f = PyFloat_FromDouble(v);
    if (!f) throw nb::python_error();
    return f;
  }
  Plan& plan_;
  nb::float_ zero_;
  std::vector<Py_ssize_t> filled_;
  std::vector<PyObject*> lists_;
  PyTypeObject* native_ = nullptr;
  nb::object cls_;
};

// Decoder threads (no GIL) work through blocks of spectra while this thread
// turns finished blocks into points, in spectrum order.
void run_native(const MappedFile& file, Plan& plan, double lowest, std::vector<WindowSum>& results,
                PointBuilder& builder) {
  const size_t count = plan.kept.size();
  std::vector<int64_t> positions(count);
  for (size_t s = 0; s < count; ++s) positions[s] = SpectrumEntry(plan.kept[s].record).position_value();
  std::vector<double> lo(plan.requests.size()), hi(plan.requests.size());
  for (size_t j = 0; j < plan.requests.size(); ++j) {
    lo[j] = plan.requests[j].lo;
    hi[j] = plan.requests[j].hi;
  }
  const analysis::XicWindows windows(std::move(lo), std::move(hi));
  constexpr size_t kBlock = 64;
  const size_t blocks = (count + kBlock - 1) / kBlock;
  std::vector<char> done(blocks, 0);
  std::vector<std::exception_ptr> failure(blocks);
  std::atomic<size_t> next{0};
  std::mutex mutex;
  std::condition_variable ready;
  auto worker = [&] {
    analysis::XicScratch scratch;
    for (size_t b; (b = next.fetch_add(1)) < blocks;) {
      try {
        for (size_t s = b * kBlock; s < std::min(count, (b + 1) * kBlock); ++s)
          sum_spectrum(file, positions[s], plan, windows, s, lowest, results, scratch);
      } catch (...) {
        failure[b] = std::current_exception();
      }
      {
        std::lock_guard lock(mutex);
        done[b] = 1;
      }
      ready.notify_all();
    }
  };
  const size_t threads = blocks ? analysis::worker_count(blocks) : 0;
  std::vector<std::thread> pool;
  for (size_t t = 0; t < threads; ++t) pool.emplace_back(worker);
  std::exception_ptr error;
  for (size_t b = 0; b < blocks && !error; ++b) {
    {
      nb::gil_scoped_release release;
      std::unique_lock lock(mutex);
      ready.wait(lock, [&] { return done[b] != 0; });
    }
    if (failure[b]) {
      error = failure[b];
      next.store(blocks);  // the others stop at their next block
      break;
    }
    try {
      for (size_t s = b * kBlock; s < std::min(count, (b + 1) * kBlock); ++s)
        builder.spectrum(s, results);
    } catch (...) {
      error = std::current_exception();
      next.store(blocks);
    }
  }
  {
    nb::gil_scoped_release release;
    for (auto& t : pool) t.join();
  }
  if (error) std::rethrow_exception(error);
}

}  // namespace

// The sum of one request over a point list a reader returned.
WindowSum sum_points(nb::handle points, double lo, double hi, double lowest) {
  if (const SpectrumPointList* l = exact<SpectrumPointList>(points)) {
    WindowSum r;
    l->x.visit([&](const auto& xs) {
      l->intensity.visit([&](const auto& is) {
        r = scan_window(xs.data(), is.data(), std::min(xs.size(), is.size()), lo, hi, lowest);
      });
    });
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

nb::list multiple_xic(QualAnalysis& a, nb::handle options) {
  Plan plan;
  nb::set conditions;
  Prefilter prefilter;
  validate_requests(options, plan, conditions, prefilter);
  plan_spectra(a, plan, conditions, prefilter);

  const double lowest = -float_info_max();
  std::vector<WindowSum> results(plan.applicable.size());
  PointBuilder builder(plan);
  if (VdpFileReader* reader = exact<VdpFileReader>(a.reader)) {
    std::shared_ptr<const MappedFile> file = reader->get().file();
    run_native(*file, plan, lowest, results, builder);
  } else {
    for (size_t s = 0; s < plan.kept.size(); ++s) {
      a.reader.attr("_VdpFileReader__set_buffer")(spectrum_position(plan.kept[s].record));
      nb::object points = a.reader.attr("_VdpFileReader__read_spectrum")();
      for (size_t k = plan.begin[s]; k < plan.begin[s + 1]; ++k) {
        const Request& r = plan.requests[plan.applicable[k]];
        results[k] = sum_points(points, r.lo, r.hi, lowest);
      }
    }
    for (size_t s = 0; s < plan.kept.size(); ++s) builder.spectrum(s, results);
  }
  nb::list out;
  for (Request& r : plan.requests) out.append(r.points);
  return out;
}

}  // namespace vorn::py
