#include "handover.hpp"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <variant>
#include <vector>

namespace zelc {
namespace {

// Records travel in batches, so that the threads wake each other once per
// batch rather than once per record; at most this many batches, or this many
// bytes of array text, wait in the queue (a larger batch still passes when
// the queue is empty).
constexpr size_t kBatchRecords = 16;
constexpr size_t kBatchBytes = 1u << 20;
constexpr size_t kMaxWaitingBatches = 16;
constexpr size_t kMaxWaitingBytes = 64u << 20;

struct End {};
struct Failed {
  std::exception_ptr error;
};
using Item = std::variant<RunInfo, RawSpectrum, RawChromatogram, End, Failed>;

// Thrown on the reading thread when the building side has given up.
struct Stopped {};

size_t bytes_of(const std::optional<EncodedArray>& a) {
  return a ? a->text().size() : 0;
}

size_t bytes_of(const Item& item) {
  if (const auto* s = std::get_if<RawSpectrum>(&item))
    return bytes_of(s->encoded_x) + bytes_of(s->encoded_intensity) + bytes_of(s->encoded_peaks);
  if (const auto* c = std::get_if<RawChromatogram>(&item))
    return bytes_of(c->encoded_time) + bytes_of(c->encoded_intensity);
  return 0;
}

struct Batch {
  std::vector<Item> items;
  size_t bytes = 0;
};

class Queue : public SourceSink {
 public:
  // The reading side: records gather in a batch, handed over when full.
  void begin(const RunInfo& run) override { add(run); }
  void spectrum(RawSpectrum&& s) override { add(std::move(s)); }
  void chromatogram(RawChromatogram&& c) override { add(std::move(c)); }

  // The end or the reader's failure, after what was read before it: always
  // delivered, even when stopped.
  void close(Item&& last) {
    std::lock_guard lock(mutex_);
    filling_.items.push_back(std::move(last));
    batches_.push_back(std::move(filling_));
    ready_.notify_one();
  }

  // The building side: the next batch, waiting for one.
  Batch pop() {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [&] { return !batches_.empty(); });
    Batch batch = std::move(batches_.front());
    batches_.pop_front();
    bytes_ -= batch.bytes;
    room_.notify_one();
    return batch;
  }

  void stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    room_.notify_all();
  }

 private:
  void add(Item&& item) {
    filling_.bytes += bytes_of(item);
    filling_.items.push_back(std::move(item));
    if (filling_.items.size() >= kBatchRecords || filling_.bytes >= kBatchBytes) hand_over();
  }

  void hand_over() {
    std::unique_lock lock(mutex_);
    room_.wait(lock, [&] {
      return stopped_ || batches_.empty() ||
             (batches_.size() < kMaxWaitingBatches && bytes_ + filling_.bytes <= kMaxWaitingBytes);
    });
    if (stopped_) throw Stopped{};
    bytes_ += filling_.bytes;
    batches_.push_back(std::move(filling_));
    filling_ = Batch{};
    ready_.notify_one();
  }

  std::mutex mutex_;
  std::condition_variable room_, ready_;
  std::deque<Batch> batches_;
  Batch filling_;  // the reading thread's own
  size_t bytes_ = 0;
  bool stopped_ = false;
};

}  // namespace

void read_alongside(const std::function<void(SourceSink&)>& read, SourceSink& sink) {
  Queue queue;
  std::thread reader([&] {
    try {
      read(queue);
      queue.close(End{});
    } catch (const Stopped&) {
      queue.close(End{});
    } catch (...) {
      queue.close(Failed{std::current_exception()});
    }
  });
  try {
    for (bool more = true; more;) {
      Batch batch = queue.pop();
      for (Item& item : batch.items) {
        if (auto* run = std::get_if<RunInfo>(&item)) {
          sink.begin(*run);
        } else if (auto* s = std::get_if<RawSpectrum>(&item)) {
          sink.spectrum(std::move(*s));
        } else if (auto* c = std::get_if<RawChromatogram>(&item)) {
          sink.chromatogram(std::move(*c));
        } else if (auto* failed = std::get_if<Failed>(&item)) {
          reader.join();
          std::rethrow_exception(failed->error);
        } else {
          more = false;
        }
      }
    }
  } catch (...) {
    queue.stop();
    if (reader.joinable()) reader.join();
    throw;
  }
  reader.join();
}

}  // namespace zelc
