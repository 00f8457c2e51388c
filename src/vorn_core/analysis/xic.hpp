// Extracted-ion chromatograms: any number of m/z windows summed in one pass
// over the spectra. From a file's data blocks only the chunks that some
// window touches are decoded (x values first; a chunk's intensities only when
// a window holds one of its points), in a few threads; spectra a caller reads
// (SpectrumSource) are summed whole. Either way every sum is scan_window's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "../mapped_file.hpp"
#include "../spectrum_block.hpp"
#include "parallel.hpp"
#include "spectrum_source.hpp"
#include "window_sum.hpp"
#include "xic_plan.hpp"

namespace vorn::analysis {

// The m/z windows of one call: bounds by window number, and an order of the
// windows by ascending lower bound, which lets one sweep through a spectrum
// serve them all.
class XicWindows {
 public:
  XicWindows(std::vector<double> lo, std::vector<double> hi);
  size_t size() const { return lo_.size(); }
  const double* lo() const { return lo_.data(); }
  const double* hi() const { return hi_.data(); }
  // Window numbers in ascending lower bound (ties in window order).
  const std::vector<uint32_t>& by_lo() const { return by_lo_; }
  bool has_nan() const { return has_nan_; }
  // Whether any window may hold x in [first, last]: some window starting at
  // or below `last` ends at or above `first`. Only without NaN bounds.
  bool any_touches(double first, double last) const;

 private:
  std::vector<double> lo_, hi_;
  std::vector<uint32_t> by_lo_;
  bool has_nan_ = false;
  std::vector<double> sorted_lo_, highest_hi_;  // along by_lo: lower bounds, running max of upper
};

// Buffers one thread reuses from spectrum to spectrum.
struct XicScratch {
  std::vector<uint8_t> x, intensity;
  std::vector<size_t> chunk_start;  // first point of each decoded chunk
  std::vector<size_t> chunk_of;     // decoded chunk -> chunk number
  std::vector<char> touched, decoded;
  Points points;                                 // a spectrum a caller read
  uint64_t read_from = UINT64_MAX, read_to = 0;  // the file bytes read so far
};

// Sums the windows `which[0..count)` (window numbers of `windows`) over the
// spectrum `block`; `out[i]` receives the sum of window `which[i]`. Windows
// listed in ascending lower bound are served by one sweep, any other order by
// a search per window; the sums are the same either way.
void sum_windows(const SpectrumBlock& block, const XicWindows& windows, const uint32_t* which,
                 size_t count, double lowest, WindowSum* out, XicScratch& scratch);

// Sums the windows `which[0..count)` over spectrum `s` of `source`.
void sum_spectrum(const SpectrumSource& source, size_t s, const XicWindows& windows,
                  const uint32_t* which, size_t count, double lowest, WindowSum* out,
                  XicScratch& scratch);

// Every window over every spectrum of `source`: the sum of window j over
// spectrum s goes to `intensity[j * source.size() + s]` (a windows × spectra
// matrix, row by row), and its base peak x, when `base_x` is not null, to
// the same place there.
void xic_matrix(const SpectrumSource& source, const XicWindows& windows, double lowest,
                double* intensity, double* base_x);

// The windows of a plan as XicWindows.
inline XicWindows windows_of(const XicPlan& plan) {
  return XicWindows(plan.lo, plan.hi);
}

// The sums of a plan: `out[i]` for the request `plan.applicable[i]`; spectrum
// s of `source` is the plan's s-th spectrum. `deliver(first, end)` runs in
// the calling thread for consecutive spectra in order as soon as their sums
// are done; `Waiting` is held while it waits for decoding threads.
template <typename Waiting, typename Deliver>
void sum_plan(const XicPlan& plan, const SpectrumSource& source, const XicWindows& windows,
              double lowest, WindowSum* out, Deliver&& deliver) {
  constexpr size_t kBlock = 64;
  const size_t n = plan.spectra();
  auto work = [&](XicScratch& scratch, size_t begin, size_t end) {
    for (size_t s = begin; s < end; ++s) {
      const size_t b = plan.begin[s], e = plan.begin[s + 1];
      if (b != e)
        sum_spectrum(source, s, windows, plan.applicable.data() + b, e - b, lowest, out + b,
                     scratch);
    }
  };
  if (!source.concurrent()) {
    XicScratch scratch;
    for (size_t s = 0; s < n; s += kBlock) {
      work(scratch, s, std::min(n, s + kBlock));
      deliver(s, std::min(n, s + kBlock));
    }
    return;
  }
  source.file->checked(
      [&] { for_blocks_in_order<Waiting>(n, kBlock, [] { return XicScratch{}; }, work, deliver); });
}

}  // namespace vorn::analysis
