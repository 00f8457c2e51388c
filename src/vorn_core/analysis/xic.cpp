#include "xic.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "../errors.hpp"
#include "parallel.hpp"

namespace vorn::analysis {

XicWindows::XicWindows(std::vector<double> lo, std::vector<double> hi)
    : lo_(std::move(lo)), hi_(std::move(hi)) {
  if (lo_.size() != hi_.size()) throw UsageError("window bounds differ in number");
  by_lo_.resize(lo_.size());
  std::iota(by_lo_.begin(), by_lo_.end(), 0u);
  // NaN bounds sort last; their windows are searched, not swept.
  std::stable_sort(by_lo_.begin(), by_lo_.end(), [this](uint32_t a, uint32_t b) {
    return lo_[a] < lo_[b] || (!std::isnan(lo_[a]) && std::isnan(lo_[b]));
  });
  for (size_t j = 0; j < lo_.size(); ++j) has_nan_ |= std::isnan(lo_[j]) || std::isnan(hi_[j]);
  double highest = -std::numeric_limits<double>::infinity();
  for (uint32_t j : by_lo_) {
    sorted_lo_.push_back(lo_[j]);
    highest = std::max(highest, hi_[j]);
    highest_hi_.push_back(highest);
  }
}

bool XicWindows::any_touches(double first, double last) const {
  const size_t starting = static_cast<size_t>(
      std::upper_bound(sorted_lo_.begin(), sorted_lo_.end(), last) - sorted_lo_.begin());
  return starting > 0 && highest_hi_[starting - 1] >= first;
}

namespace {

// Marks the chunks that some window may hold points of. With the windows in
// ascending lower bound, where a window's chunks start only moves forward,
// and the chunks already marked from there on need no second look.
void mark_touched(const SpectrumBlock& block, const double* lo, const double* hi,
                  const uint32_t* which, size_t count, bool sorted, std::vector<char>& touched) {
  const auto& chunks = block.chunks();
  const size_t n = chunks.size();
  touched.assign(n, 0);
  if (!sorted) {
    for (size_t i = 0; i < count; ++i) {
      auto [a, b] = block.chunks_for(lo[which[i]], hi[which[i]]);
      std::fill(touched.begin() + static_cast<ptrdiff_t>(a),
                touched.begin() + static_cast<ptrdiff_t>(b), 1);
    }
    return;
  }
  size_t first = 0, marked_to = 0;
  for (size_t i = 0; i < count; ++i) {
    const double l = lo[which[i]], h = hi[which[i]];
    while (first < n && chunks[first].x_last < l) ++first;
    for (size_t c = std::max(first, marked_to); c < n && chunks[c].x_first <= h; ++c) {
      touched[c] = 1;
      marked_to = c + 1;
    }
  }
}

template <typename X, typename I>
void sum_decoded(const SpectrumBlock& block, const double* lo, const double* hi,
                 const uint32_t* which, size_t count, bool sweep, double lowest, WindowSum* out,
                 XicScratch& s) {
  const auto* x = reinterpret_cast<const X*>(s.x.data());
  auto* in = reinterpret_cast<I*>(s.intensity.data());
  const size_t n = s.chunk_start.back();
  s.decoded.assign(s.chunk_of.size(), 0);
  size_t cursor = 0;
  for (size_t i = 0; i < count; ++i) {
    const double l = lo[which[i]], h = hi[which[i]];
    // Ascending x: the points the scan would skip end where x reaches l.
    size_t first;
    if (sweep) {
      while (cursor < n && static_cast<double>(x[cursor]) < l) ++cursor;
      first = cursor;
    } else {
      first = static_cast<size_t>(
          std::partition_point(x, x + n, [l](X v) { return static_cast<double>(v) < l; }) - x);
    }
    size_t last = first;
    while (last < n && !(static_cast<double>(x[last]) > h)) ++last;
    if (first < last) {
      size_t c =
          static_cast<size_t>(std::upper_bound(s.chunk_start.begin(), s.chunk_start.end(), first) -
                              s.chunk_start.begin()) -
          1;
      for (; c < s.chunk_of.size() && s.chunk_start[c] < last; ++c)
        if (!s.decoded[c]) {
          block.decode_intensity(s.chunk_of[c], in + s.chunk_start[c]);
          s.decoded[c] = 1;
        }
    }
    out[i] = scan_window(x + first, in + first, last - first, l, h, lowest);
  }
}

}  // namespace

void sum_windows(const SpectrumBlock& block, const XicWindows& windows, const uint32_t* which,
                 size_t count, double lowest, WindowSum* out, XicScratch& s) {
  if (count == 0) return;
  if (!block.has_x()) {
    // An empty spectrum may be stored without x values; no window holds a point of it.
    if (block.points() != 0) throw FormatError("spectrum stores no x values", block.position());
    std::fill_n(out, count, WindowSum{});
    return;
  }
  const double *lo = windows.lo(), *hi = windows.hi();
  // All the windows in their sorted order: what is known of them up front.
  const bool all = which == windows.by_lo().data() && count == windows.size();
  bool sorted = true, nan = all && windows.has_nan();
  if (!all)
    for (size_t i = 0; i < count; ++i) {
      const double l = lo[which[i]], h = hi[which[i]];
      nan |= std::isnan(l) || std::isnan(h);
      if (i && l < lo[which[i - 1]]) sorted = false;
    }
  if (nan) {
    // A NaN bound compares false both ways: the scan counts every point.
    s.touched.assign(block.chunks().size(), 1);
  } else if (all) {
    const auto& chunks = block.chunks();
    s.touched.resize(chunks.size());
    for (size_t c = 0; c < chunks.size(); ++c)
      s.touched[c] = windows.any_touches(chunks[c].x_first, chunks[c].x_last);
  } else {
    mark_touched(block, lo, hi, which, count, sorted, s.touched);
  }
  s.chunk_start.clear();
  s.chunk_of.clear();
  size_t points = 0;
  for (size_t c = 0; c < s.touched.size(); ++c)
    if (s.touched[c]) {
      block.require_frames(c, c + 1);
      s.chunk_of.push_back(c);
      s.chunk_start.push_back(points);
      points += block.chunks()[c].points;
    }
  s.chunk_start.push_back(points);
  const size_t xw = block.x_width(), iw = block.intensity_width();
  s.x.resize(points * xw);
  s.intensity.resize(points * iw);
  // Only the touched chunks, one after another: a point left out lies outside
  // every window, and x stays ascending, so each window's scan is unchanged.
  for (size_t k = 0; k < s.chunk_of.size(); ++k)
    block.decode_x(s.chunk_of[k], s.x.data() + s.chunk_start[k] * xw);
  const bool sweep = sorted && !nan && count > 8;
  // Stored widths: float32 values widen exactly, so the sums are the same.
  if (xw == 4 && iw == 4)
    sum_decoded<float, float>(block, lo, hi, which, count, sweep, lowest, out, s);
  else if (xw == 4)
    sum_decoded<float, double>(block, lo, hi, which, count, sweep, lowest, out, s);
  else if (iw == 4)
    sum_decoded<double, float>(block, lo, hi, which, count, sweep, lowest, out, s);
  else
    sum_decoded<double, double>(block, lo, hi, which, count, sweep, lowest, out, s);
}

void sum_spectrum(const SpectrumSource& source, size_t s, const XicWindows& windows,
                  const uint32_t* which, size_t count, double lowest, WindowSum* out,
                  XicScratch& scratch) {
  if (count == 0) return;
  if (source.file) {
    const int64_t position = source.positions[s];
    if (position < 0) throw FormatError("negative spectrum position", 0);
    SpectrumBlock block(source.file->bytes(), static_cast<uint64_t>(position));
    sum_windows(block, windows, which, count, lowest, out, scratch);
    scratch.read_from = std::min(scratch.read_from, block.position());
    scratch.read_to = std::max(scratch.read_to, block.position() + block.stored_size());
    return;
  }
  source.points(s, scratch.points);
  const Points& p = scratch.points;
  for (size_t i = 0; i < count; ++i)
    out[i] = scan_window(p.x.data(), p.intensity.data(), p.x.size(), windows.lo()[which[i]],
                         windows.hi()[which[i]], lowest);
}

void xic_matrix(const SpectrumSource& source, const XicWindows& windows, double lowest,
                double* intensity, double* base_x) {
  const size_t n = source.size(), k = windows.size();
  if (k == 0) return;
  // A block's sums are gathered window by window, then each window's row
  // receives them in one run: writing the matrix a column at a time would
  // touch a page per window for every spectrum.
  constexpr size_t kBlock = 64;
  struct State {
    XicScratch scratch;
    std::vector<WindowSum> sums;
    std::vector<double> rows, base_rows;  // k × kBlock, by window in `by_lo` order
  };
  source.for_blocks(
      kBlock,
      [&] {
        return State{{},
                     std::vector<WindowSum>(k),
                     std::vector<double>(k * kBlock),
                     std::vector<double>(base_x ? k * kBlock : 0)};
      },
      [&](State& st, size_t begin, size_t end) {
        const std::vector<uint32_t>& order = windows.by_lo();
        for (size_t s = begin; s < end; ++s) {
          sum_spectrum(source, s, windows, order.data(), k, lowest, st.sums.data(), st.scratch);
          const size_t col = s - begin;
          for (size_t i = 0; i < k; ++i) st.rows[i * kBlock + col] = st.sums[i].sum;
          if (base_x)
            for (size_t i = 0; i < k; ++i) st.base_rows[i * kBlock + col] = st.sums[i].base_x;
        }
        // The blocks read are done with: their pages need not stay in memory.
        XicScratch& sc = st.scratch;
        if (source.file && sc.read_from < sc.read_to)
          source.file->release(sc.read_from, sc.read_to - sc.read_from);
        sc.read_from = UINT64_MAX;
        sc.read_to = 0;
        const size_t width = end - begin;
        for (size_t i = 0; i < k; ++i) {
          const size_t row = order[i] * n + begin;
          std::copy_n(st.rows.data() + i * kBlock, width, intensity + row);
          if (base_x) std::copy_n(st.base_rows.data() + i * kBlock, width, base_x + row);
        }
      });
}

}  // namespace vorn::analysis
