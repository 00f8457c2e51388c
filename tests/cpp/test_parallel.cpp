// Blocks handed back in order while other threads work on, and failures
// reported by the lowest failing block.
#include <doctest/doctest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "vorn_core/analysis/parallel.hpp"

using namespace vorn::analysis;

TEST_CASE("blocks are delivered in order, each once") {
  std::vector<int> squares(1000, 0);
  std::vector<size_t> seen;
  for_blocks_in_order<NoRelease>(
      squares.size(), 7, [] { return 0; },
      [&](int&, size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i) squares[i] = static_cast<int>(i * i);
      },
      [&](size_t begin, size_t end) {
        CHECK(begin == (seen.empty() ? 0 : seen.back()));
        for (size_t i = begin; i < end; ++i) CHECK(squares[i] == static_cast<int>(i * i));
        seen.push_back(end);
      });
  CHECK(seen.back() == 1000);
  CHECK(seen.size() == 143);
}

TEST_CASE("the lowest failing block's error is rethrown; nothing after it is delivered") {
  size_t delivered = 0;
  auto run = [&] {
    for_blocks_in_order<NoRelease>(
        100, 10, [] { return 0; },
        [&](int&, size_t begin, size_t) {
          if (begin >= 30) throw std::runtime_error("block " + std::to_string(begin / 10));
        },
        [&](size_t, size_t end) { delivered = end; });
  };
  CHECK_THROWS_WITH(run(), "block 3");
  CHECK(delivered == 30);
  for_blocks_in_order<NoRelease>(
      0, 10, [] { return 0; }, [](int&, size_t, size_t) { FAIL("no work"); },
      [](size_t, size_t) { FAIL("nothing to deliver"); });
}

TEST_CASE("for_blocks covers every item once") {
  std::vector<int> hits(333, 0);
  for_blocks(
      hits.size(), 16, [] { return 0; },
      [&](int&, size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i) ++hits[i];
      });
  for (int h : hits) CHECK(h == 1);
}
