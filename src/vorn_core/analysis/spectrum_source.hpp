// Where the analysis kernels get spectra from: the data blocks of a mapped
// container file, decoded in any thread without the interpreter; or point
// arrays that the caller reads for them (a reader given from Python), in the
// calling thread only. Every kernel runs the same code on either; only the
// decoding differs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "../mapped_file.hpp"
#include "parallel.hpp"
#include "points.hpp"

namespace vorn::analysis {

struct SpectrumSource {
  // Blocks of `file` at `positions`, by spectrum...
  const MappedFile* file = nullptr;
  std::span<const int64_t> positions;
  // ...the function's wavelengths (null: none) for absorbance spectra that
  // store no x values...
  const std::vector<double>* wavelengths = nullptr;
  // ...or, without a file, spectrum s read by the caller.
  std::function<void(size_t s, Points& out)> read;
  size_t count = 0;

  // Whether several threads may read at once.
  bool concurrent() const { return file != nullptr; }
  size_t size() const { return file ? positions.size() : count; }

  // Spectrum s, whole: decoded (absorbance spectra get the wavelengths as x)
  // or read.
  void points(size_t s, Points& out) const;

  // Runs `work(state, begin, end)` over consecutive blocks of spectra: in a
  // few threads on a file, whose reads are checked (a file cut short under
  // the mapping raises IoError); in the calling thread otherwise.
  template <typename MakeState, typename Work>
  void for_blocks(size_t block, MakeState&& make_state, Work&& work) const {
    if (!concurrent()) {
      auto state = make_state();
      for (size_t b = 0; b < size(); b += block) work(state, b, std::min(size(), b + block));
      return;
    }
    file->checked([&] { analysis::for_blocks(size(), block, make_state, work); });
  }
};

}  // namespace vorn::analysis
