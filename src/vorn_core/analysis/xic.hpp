// Extracted-ion chromatograms over spectrum data blocks: any number of m/z
// windows summed in one pass over the spectra, decoding only the chunks that
// some window touches (x values first; a chunk's intensities only when a
// window holds one of its points). No Python in here: callers release the GIL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "../mapped_file.hpp"
#include "../spectrum_block.hpp"
#include "window_sum.hpp"

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
};

// Sums the windows `which[0..count)` (window numbers of `windows`) over the
// spectrum `block`; `out[i]` receives the sum of window `which[i]`. Windows
// listed in ascending lower bound are served by one sweep, any other order by
// a search per window; the sums are the same either way.
void sum_windows(const SpectrumBlock& block, const XicWindows& windows, const uint32_t* which,
                 size_t count, double lowest, WindowSum* out, XicScratch& scratch);

// Every window over every spectrum at `positions`, in a few threads: the sum
// of window j over spectrum s goes to `intensity[j * positions.size() + s]`
// (a windows × spectra matrix, row by row), and its base peak x, when
// `base_x` is not null, to the same place there.
void xic_matrix(const MappedFile& file, std::span<const int64_t> positions,
                const XicWindows& windows, double lowest, double* intensity, double* base_x);

}  // namespace vorn::analysis
