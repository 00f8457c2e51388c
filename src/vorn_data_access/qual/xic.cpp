// get_multiple_xic: the requests checked and asked in the interpreter's
// terms, the plan and the sums by the core's XIC kernels, the points made
// here.
#include "xic.hpp"

#include <cmath>
#include <unordered_map>
#include <vector>

#include "../_glue/point_list.hpp"
#include "../_glue/python.hpp"
#include "../_glue/value_types.hpp"
#include "../_glue/xic_fill.hpp"
#include "analysis_adapter.hpp"
#include "chromatogram.hpp"
#include "vorn_core/analysis/xic.hpp"
#include "vorn_core/analysis/xic_plan.hpp"

namespace vorn::py {
namespace {

using analysis::WindowSum;

struct Request {
  nb::object option, condition, rt_range;  // rt_range None: no limit
  const ValueRange* native_rt_range = nullptr;
};

nb::object option_field(nb::handle option, int which) {
  if (auto* o = exact<ChromatogramFilterOption>(option))
    return which == 0   ? o->acquisition_condition
           : which == 1 ? o->extract_mz_range
                        : o->retention_time_range;
  return option.attr(which == 0   ? "acquisition_condition"
                     : which == 1 ? "extract_mz_range"
                                  : "retention_time_range");
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

std::vector<Request> validate_requests(nb::handle options, nb::set& conditions,
                                       Prefilter& prefilter) {
  Py_ssize_t count = is_none_eq(options) ? 0 : PyObject_Length(options.ptr());
  if (count < 0) throw nb::python_error();
  if (count == 0) raise_exception("chromatogram_filter_options is null or empty");
  std::vector<Request> requests(static_cast<size_t>(count));
  for (Py_ssize_t j = 0; j < count; ++j) {
    Request& r = requests[static_cast<size_t>(j)];
    r.option = options[j];
    if (is_none_eq(r.option))
      raise_exception("element of chromatogram_filter_options should not be null");
    r.condition = option_field(r.option, 0);
    if (is_none_eq(r.condition)) raise_exception("acquisition_condition should not be null");
    conditions.add(r.condition);
    r.rt_range = option_field(r.option, 2);
    prefilter.merge(r.rt_range);
    r.native_rt_range = exact<ValueRange>(r.rt_range);
  }
  return requests;
}

// The planner's questions, answered as the interpreter would: natively for
// the package's own conditions, ranges and float times, by the objects' own
// operations otherwise.
class Questions : public analysis::XicQuestions {
 public:
  Questions(std::vector<Request>& requests, std::vector<nb::object> distinct, nb::handle set,
            const Prefilter& prefilter)
      : requests_(requests), distinct_(std::move(distinct)), set_(set), prefilter_(prefilter) {
    all_native_ = std::all_of(distinct_.begin(), distinct_.end(),
                              [](const nb::object& q) { return exact<AcquisitionCondition>(q); });
    native_prefilter_ = prefilter.limited() && prefilter.native(pre_lo_, pre_hi_);
  }

  // The table being filled, set before each row is planned.
  const SpectrumRows* rows = nullptr;

  bool in_set(uint32_t id) override {
    nb::handle c = rows->condition(id);
    if (all_native_ && exact<AcquisitionCondition>(c)) {
      for (size_t g = 0; g < distinct_.size(); ++g)
        if (same(id, static_cast<uint32_t>(g))) return true;
      return false;
    }
    int found = PySet_Contains(set_.ptr(), c.ptr());
    if (found < 0) throw nb::python_error();
    return found == 1;
  }
  bool same(uint32_t id, uint32_t group) override {
    nb::handle c = rows->condition(id);
    const nb::object& q = distinct_[group];
    if (all_native_ && exact<AcquisitionCondition>(c))
      return q.ptr() == c.ptr() || conditions_equal(q, c);
    return !ne(q, c);
  }
  bool in_prefilter(size_t row) override {
    if (native_prefilter_ && rows->exact_time(row))
      return pre_lo_ <= rows->table.rt[row] && rows->table.rt[row] <= pre_hi_;
    nb::object rt = rows->entry(row).get(kRetentionTime);
    return compare(prefilter_.lo, rt, Py_LE) && compare(rt, prefilter_.hi, Py_LE);
  }
  bool in_range(size_t request, size_t row) override {
    const Request& r = requests_[request];
    if (r.native_rt_range && rows->exact_time(row))
      return r.native_rt_range->contains(rows->table.rt[row]);
    return range_contains(r.rt_range, rows->entry(row).get(kRetentionTime));
  }
  void window(size_t request, double& lo, double& hi) override {
    ValueRange w = range_of(option_field(requests_[request].option, 1));
    lo = w.min;
    hi = w.max;
  }

 private:
  std::vector<Request>& requests_;
  std::vector<nb::object> distinct_;
  nb::handle set_;
  const Prefilter& prefilter_;
  bool all_native_ = false, native_prefilter_ = false;
  double pre_lo_ = 0, pre_hi_ = 0;
};

// Fills each request's list, sized up front, with its points in spectrum order.
class PointBuilder {
 public:
  // `index` and `rt`: the index and time objects of each planned spectrum.
  PointBuilder(const analysis::XicPlan& plan, const std::vector<nb::object>& index,
               const std::vector<nb::object>& rt, size_t requests)
      : plan_(plan), index_(index), rt_(rt), zero_(0.0), filled_(requests, 0) {
    std::vector<Py_ssize_t> counts(requests, 0);
    for (uint32_t j : plan.applicable) ++counts[j];
    for (size_t j = 0; j < requests; ++j) {
      lists_.push_back(nb::steal<nb::list>(PyList_New(counts[j])));
      if (!lists_.back().is_valid()) throw nb::python_error();
    }
    nb::object cls = qual_name("SpectrumBasedChromatogramPoint");
    if (cls.ptr() == reinterpret_cast<PyObject*>(native_point_type()))
      native_ = native_point_type();
    cls_ = cls;
  }

  // Ten million points make this the hot loop of a large request: plain
  // allocations, and the new floats handed over without extra reference counting.
  void spectrum(size_t s, const std::vector<WindowSum>& results) {
    PyObject* index = index_[s].ptr();
    PyObject* rt = rt_[s].ptr();
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
      PyList_SET_ITEM(lists_[j].ptr(), filled_[j]++, p);
    }
  }

  nb::list results() const {
    nb::list out;
    for (const nb::object& l : lists_) out.append(l);
    return out;
  }

 private:
  PyObject* new_float(double v) {
    if (v == 0.0 && !std::signbit(v)) return Py_NewRef(zero_.ptr());
    PyObject* f = PyFloat_FromDouble(v);
    if (!f) throw nb::python_error();
    return f;
  }
  const analysis::XicPlan& plan_;
  const std::vector<nb::object>&index_, &rt_;
  nb::float_ zero_;
  std::vector<Py_ssize_t> filled_;
  std::vector<nb::object> lists_;
  PyTypeObject* native_ = nullptr;
  nb::object cls_;
};

}  // namespace

nb::list multiple_xic(QualAnalysis& a, nb::handle options) {
  nb::set conditions;
  Prefilter prefilter;
  std::vector<Request> requests = validate_requests(options, conditions, prefilter);
  // Requests by distinct condition object.
  std::vector<nb::object> distinct;
  std::unordered_map<PyObject*, uint32_t> group_of;
  std::vector<analysis::XicRequest> planned(requests.size());
  for (size_t j = 0; j < requests.size(); ++j) {
    auto [it, added] = group_of.emplace(requests[j].condition.ptr(), distinct.size());
    if (added) distinct.push_back(requests[j].condition);
    planned[j].group = it->second;
    planned[j].ranged = !is_none_eq(requests[j].rt_range);
  }
  Questions questions(requests, std::move(distinct), conditions, prefilter);
  analysis::XicPlanner planner(planned, group_of.size(), prefilter.limited(), questions);
  // Planned a row at a time, each planned spectrum's index and time kept
  // while its record is at hand: one walk over the records.
  std::vector<nb::object> index, rt;
  SpectrumRows rows(a.spectrum_index_list, {.conditions = true, .positions = true},
                    [&](const SpectrumRows& at, size_t r, const SpectrumEntry& e) {
                      questions.rows = &at;
                      if (!planner.add(at.table, r)) return;
                      index.push_back(e.get(kIndex));
                      rt.push_back(e.get(kRetentionTime));
                    });
  questions.rows = &rows;
  const analysis::XicPlan plan = planner.finish();

  RowSource spectra(rows, plan.rows, a.reader, ProtocolRead::kSpectrum);
  const analysis::XicWindows windows = analysis::windows_of(plan);
  std::vector<WindowSum> results(plan.applicable.size());
  PointBuilder builder(plan, index, rt, requests.size());
  // Decoding threads (no GIL) work through blocks of spectra while this
  // thread turns finished blocks into points, in spectrum order.
  analysis::sum_plan<nb::gil_scoped_release>(plan, spectra.source(), windows, -float_info_max(),
                                             results.data(), [&](size_t begin, size_t end) {
                                               for (size_t s = begin; s < end; ++s)
                                                 builder.spectrum(s, results);
                                             });
  return builder.results();
}

}  // namespace vorn::py
