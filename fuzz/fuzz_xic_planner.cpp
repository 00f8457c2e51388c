// Property: the XIC planner and its chunk-skipping sums give, for any
// spectra, conditions, retention times and m/z windows (NaN and reversed
// bounds included), exactly what a naive walk over every spectrum and every
// request gives: the same spectra, each summed for the same requests, with
// the same sums and base peaks to the last bit, whether the spectra come
// from data blocks (a few threads) or from point arrays (one thread).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "vorn_core/analysis/xic.hpp"
#include "vorn_core/analysis/xic_plan.hpp"
#include "vorn_core/mapped_file.hpp"
#include "vorn_core/spectrum_block.hpp"

namespace {

using namespace vorn;
using namespace vorn::analysis;

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
  // A bound: mostly ordinary numbers, now and then NaN or an infinity.
  double bound() {
    const uint8_t b = byte();
    if (b == 255) return std::numeric_limits<double>::quiet_NaN();
    if (b == 254) return std::numeric_limits<double>::infinity();
    if (b == 253) return -std::numeric_limits<double>::infinity();
    return b * 0.5 + byte() / 512.0;
  }

 private:
  const uint8_t* data_;
  size_t size_, at_ = 0;
};

struct Spectrum {
  std::vector<double> x;
  std::vector<float> intensity;
  bool timed;
  double rt;
  uint32_t condition;
};

struct Request {
  uint32_t condition;
  bool ranged;
  double rt_lo, rt_hi, lo, hi;
};

class Answers : public XicQuestions {
 public:
  Answers(const std::vector<Spectrum>& spectra, const std::vector<Request>& requests,
          const std::vector<uint32_t>& group_condition, bool limited, double lo, double hi)
      : spectra_(spectra),
        requests_(requests),
        groups_(group_condition),
        limited_(limited),
        lo_(lo),
        hi_(hi) {}
  bool in_set(uint32_t id) override {
    for (uint32_t c : groups_)
      if (c == id) return true;
    return false;
  }
  bool same(uint32_t id, uint32_t group) override { return groups_[group] == id; }
  bool in_prefilter(size_t row) override {
    if (!limited_) std::abort();  // asked only of limited plans
    return lo_ <= spectra_[row].rt && spectra_[row].rt <= hi_;
  }
  bool in_range(size_t j, size_t row) override {
    if (!requests_[j].ranged) std::abort();
    return requests_[j].rt_lo <= spectra_[row].rt && spectra_[row].rt <= requests_[j].rt_hi;
  }
  void window(size_t j, double& lo, double& hi) override {
    lo = requests_[j].lo;
    hi = requests_[j].hi;
  }

 private:
  const std::vector<Spectrum>& spectra_;
  const std::vector<Request>& requests_;
  const std::vector<uint32_t>& groups_;
  bool limited_;
  double lo_, hi_;
};

bool same_bits(double a, double b) {
  return a == b || (std::isnan(a) && std::isnan(b));
}

// The sum as the package documents it, point by point.
WindowSum naive_sum(const Spectrum& s, double lo, double hi) {
  WindowSum r;
  double base = -std::numeric_limits<double>::max();
  for (size_t i = 0; i < s.x.size(); ++i) {
    if (s.x[i] < lo) continue;
    if (s.x[i] > hi) break;
    const double v = s.intensity[i];
    if (base < v) {
      base = v;
      r.base_x = s.x[i];
    }
    r.sum += v;
  }
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  const uint32_t chunk = 1 + in.byte() % 16;
  const size_t spectra_count = in.byte() % 12;
  const size_t condition_count = 1 + in.byte() % 3;
  std::vector<Spectrum> spectra(spectra_count);
  SpectrumTable table;
  std::vector<uint8_t> file;
  std::vector<int64_t> positions;
  for (Spectrum& s : spectra) {
    const size_t n = in.byte() % 40;
    double x = in.byte();
    for (size_t i = 0; i < n; ++i) {
      x += in.byte() % 4 * 0.25;  // repeated x values too
      s.x.push_back(x);
      s.intensity.push_back(static_cast<float>(in.byte() % 8));
    }
    const uint8_t t = in.byte();
    s.timed = t != 0;
    s.rt = t == 255 ? std::numeric_limits<double>::quiet_NaN() : t / 16.0;
    s.condition = in.byte() % condition_count;
    positions.push_back(static_cast<int64_t>(file.size()));
    encode_spectrum_block(FloatSpan{s.x.data(), s.x.size(), false},
                          FloatSpan{s.intensity.data(), s.intensity.size(), true},
                          SpectrumEncoding{1, chunk}, file);
    table.timed.push_back(s.timed);
    table.rt.push_back(s.rt);
    table.condition.push_back(s.condition);
  }
  const size_t request_count = 1 + in.byte() % 8;
  std::vector<Request> requests(request_count);
  std::vector<XicRequest> planned(request_count);
  std::vector<uint32_t> group_condition;  // distinct requested conditions
  for (size_t j = 0; j < request_count; ++j) {
    Request& r = requests[j];
    r.condition = in.byte() % condition_count;
    r.ranged = in.byte() % 2;
    r.rt_lo = in.byte() / 16.0;
    r.rt_hi = r.rt_lo + in.byte() / 16.0;
    r.lo = in.bound();
    r.hi = in.byte() % 8 == 0 ? in.bound() : r.lo + in.byte() / 8.0;
    uint32_t g = 0;
    while (g < group_condition.size() && group_condition[g] != r.condition) ++g;
    if (g == group_condition.size()) group_condition.push_back(r.condition);
    planned[j] = {g, r.ranged};
  }
  // The prefilter covers every request's range, or nothing limits.
  bool limited = true;
  double pre_lo = 0, pre_hi = 0;
  for (size_t j = 0; j < request_count; ++j) {
    if (!requests[j].ranged) limited = false;
    if (j == 0 || requests[j].rt_lo < pre_lo) pre_lo = requests[j].rt_lo;
    if (j == 0 || requests[j].rt_hi > pre_hi) pre_hi = requests[j].rt_hi;
  }

  Answers answers(spectra, requests, group_condition, limited, pre_lo, pre_hi);
  const XicPlan plan = plan_xic(table, planned, group_condition.size(), limited, answers);

  // The plan: every spectrum some request takes, and for each the requests
  // that take it.
  size_t kept = 0;
  for (size_t row = 0; row < spectra.size(); ++row) {
    const Spectrum& s = spectra[row];
    std::vector<char> takes(request_count, 0);
    bool of_condition = false;
    for (size_t j = 0; j < request_count; ++j) {
      const Request& r = requests[j];
      of_condition |= r.condition == s.condition;
      takes[j] = s.timed && r.condition == s.condition &&
                 (!r.ranged || (r.rt_lo <= s.rt && s.rt <= r.rt_hi));
    }
    // A spectrum of a requested condition inside the prefilter is read even
    // when no request's own range takes it.
    const bool in_prefilter = !limited || (pre_lo <= s.rt && s.rt <= pre_hi);
    const bool planned_row = kept < plan.rows.size() && plan.rows[kept] == row;
    if (planned_row != (s.timed && of_condition && in_prefilter)) std::abort();
    if (!planned_row) continue;
    std::vector<char> got(request_count, 0);
    for (size_t i = plan.begin[kept]; i < plan.begin[kept + 1]; ++i) {
      if (got[plan.applicable[i]]) std::abort();  // a request twice
      got[plan.applicable[i]] = 1;
    }
    if (got != takes) std::abort();
    ++kept;
  }
  if (kept != plan.rows.size()) std::abort();

  // The sums, from blocks and from point arrays, against the naive walk.
  auto mapped = MappedFile::of_bytes(file, "fuzz");
  std::vector<int64_t> kept_positions;
  for (size_t row : plan.rows) kept_positions.push_back(positions[row]);
  SpectrumSource blocks;
  blocks.file = mapped.get();
  blocks.positions = kept_positions;
  SpectrumSource arrays;
  arrays.count = plan.rows.size();
  arrays.read = [&](size_t s, Points& out) {
    const Spectrum& sp = spectra[plan.rows[s]];
    out.x = sp.x;
    out.intensity.assign(sp.intensity.begin(), sp.intensity.end());
  };
  const XicWindows windows = windows_of(plan);
  for (const SpectrumSource* source : {&blocks, &arrays}) {
    std::vector<WindowSum> sums(plan.applicable.size());
    size_t delivered = 0;
    sum_plan<NoRelease>(plan, *source, windows, -std::numeric_limits<double>::max(), sums.data(),
                        [&](size_t begin, size_t end) {
                          if (begin != delivered || end <= begin) std::abort();
                          delivered = end;
                        });
    if (delivered != plan.rows.size()) std::abort();
    for (size_t s = 0; s < plan.rows.size(); ++s)
      for (size_t i = plan.begin[s]; i < plan.begin[s + 1]; ++i) {
        const Request& r = requests[plan.applicable[i]];
        const WindowSum want = naive_sum(spectra[plan.rows[s]], r.lo, r.hi);
        if (!same_bits(sums[i].sum, want.sum) || !same_bits(sums[i].base_x, want.base_x))
          std::abort();
      }
    // Every window over every kept spectrum, as the array results take them.
    std::vector<double> matrix(request_count * plan.rows.size());
    xic_matrix(*source, windows, -std::numeric_limits<double>::max(), matrix.data(), nullptr);
    for (size_t j = 0; j < request_count; ++j)
      for (size_t s = 0; s < plan.rows.size(); ++s) {
        const WindowSum want = naive_sum(spectra[plan.rows[s]], plan.lo[j], plan.hi[j]);
        if (!same_bits(matrix[j * plan.rows.size() + s], want.sum)) std::abort();
      }
  }
  return 0;
}
