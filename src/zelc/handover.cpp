#include "handover.hpp"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <variant>

namespace zelc {
namespace {

// At most this many records, or this many bytes of their arrays, wait in the
// queue (a larger record still passes when the queue is empty).
constexpr size_t kMaxWaiting = 256;
constexpr size_t kMaxWaitingBytes = 64u << 20;

struct End {};
struct Failed {
  std::exception_ptr error;
};
using Item = std::variant<RunInfo, RawSpectrum, RawChromatogram, End, Failed>;

// Thrown on the reading thread when the building side has given up.
struct Stopped {};

size_t bytes_of(const std::optional<EncodedArray>& a) {
  return a ? a->base64.size() : 0;
}

size_t bytes_of(const Item& item) {
  if (const auto* s = std::get_if<RawSpectrum>(&item))
    return bytes_of(s->encoded_x) + bytes_of(s->encoded_intensity) + bytes_of(s->encoded_peaks);
  if (const auto* c = std::get_if<RawChromatogram>(&item))
    return bytes_of(c->encoded_time) + bytes_of(c->encoded_intensity);
  return 0;
}

class Queue : public SourceSink {
 public:
  void begin(const RunInfo& run) override { push(run); }
  void spectrum(RawSpectrum&& s) override { push(std::move(s)); }
  void chromatogram(RawChromatogram&& c) override { push(std::move(c)); }

  void push(Item&& item) {
    const size_t bytes = bytes_of(item);
    std::unique_lock lock(mutex_);
    room_.wait(lock, [&] {
      return stopped_ || items_.empty() ||
             (items_.size() < kMaxWaiting && bytes_ + bytes <= kMaxWaitingBytes);
    });
    if (stopped_) throw Stopped{};
    bytes_ += bytes;
    items_.push_back(std::move(item));
    ready_.notify_one();
  }
  // The end or the reader's failure: always delivered, even when stopped.
  void close(Item&& last) {
    std::lock_guard lock(mutex_);
    items_.push_back(std::move(last));
    ready_.notify_one();
  }
  Item pop() {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [&] { return !items_.empty(); });
    Item item = std::move(items_.front());
    items_.pop_front();
    bytes_ -= bytes_of(item);
    room_.notify_one();
    return item;
  }
  void stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    room_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable room_, ready_;
  std::deque<Item> items_;
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
    for (;;) {
      Item item = queue.pop();
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
        break;
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
