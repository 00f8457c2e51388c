// Runs work over a range of items in a few threads, in blocks of items, and
// rethrows the error of the lowest failing block, so a failure reads the same
// however the threads were scheduled. No Python in here: callers release the
// GIL around it.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace vorn::analysis {

// At most this many threads for one call: the decoders are memory-bound, and
// more threads than that only contend.
inline size_t worker_count(size_t blocks) {
  size_t threads = std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()), 4);
  return std::max<size_t>(1, std::min(threads, blocks));
}

// Calls `work(state, begin, end)` for consecutive blocks of `block` items
// covering [0, count); each thread has its own `State` (scratch buffers),
// made by `make_state()`. After a failure the other threads stop at their
// next block.
template <typename MakeState, typename Work>
void for_blocks(size_t count, size_t block, MakeState&& make_state, Work&& work) {
  if (count == 0) return;
  const size_t blocks = (count + block - 1) / block;
  std::vector<std::exception_ptr> failure(blocks);
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  auto run = [&] {
    auto state = make_state();
    for (size_t b; !failed.load(std::memory_order_relaxed) && (b = next.fetch_add(1)) < blocks;) {
      try {
        work(state, b * block, std::min(count, (b + 1) * block));
      } catch (...) {
        failure[b] = std::current_exception();
        failed.store(true);
      }
    }
  };
  const size_t threads = worker_count(blocks);
  std::vector<std::thread> pool;
  for (size_t t = 1; t < threads; ++t) pool.emplace_back(run);
  run();
  for (auto& t : pool) t.join();
  for (auto& f : failure)
    if (f) std::rethrow_exception(f);
}

// As for_blocks, and `deliver(begin, end)` runs in the calling thread for
// each block in order, as soon as that block and all before it are done, so
// the caller can use results while the other threads work on. `Waiting` is
// held while the calling thread waits for a block (the binding layer lets
// the interpreter run other threads meanwhile). After a failure of `work` or
// `deliver` the other threads stop at their next block; the error of the
// lowest block is rethrown.
template <typename Waiting, typename MakeState, typename Work, typename Deliver>
void for_blocks_in_order(size_t count, size_t block, MakeState&& make_state, Work&& work,
                         Deliver&& deliver) {
  if (count == 0) return;
  const size_t blocks = (count + block - 1) / block;
  std::vector<char> done(blocks, 0);
  std::vector<std::exception_ptr> failure(blocks);
  std::atomic<size_t> next{0};
  std::mutex mutex;
  std::condition_variable ready;
  auto worker = [&] {
    auto state = make_state();
    for (size_t b; (b = next.fetch_add(1)) < blocks;) {
      try {
        work(state, b * block, std::min(count, (b + 1) * block));
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
  const size_t threads = worker_count(blocks);
  std::vector<std::thread> pool;
  for (size_t t = 0; t < threads; ++t) pool.emplace_back(worker);
  std::exception_ptr error;
  for (size_t b = 0; b < blocks; ++b) {
    {
      [[maybe_unused]] Waiting waiting;
      std::unique_lock lock(mutex);
      ready.wait(lock, [&] { return done[b] != 0; });
    }
    error = failure[b];
    if (!error) {
      try {
        deliver(b * block, std::min(count, (b + 1) * block));
      } catch (...) {
        error = std::current_exception();
      }
    }
    if (error) {
      next.store(blocks);  // the others stop at their next block
      break;
    }
  }
  {
    [[maybe_unused]] Waiting waiting;
    for (auto& t : pool) t.join();
  }
  if (error) std::rethrow_exception(error);
}

// Holds nothing: for callers that need not let anything run while waiting.
struct NoRelease {};

}  // namespace vorn::analysis
