#include "fault_guard.hpp"

#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

namespace vorn::fault_guard {
namespace {

// One watched mapping, in whole pages. Slots are reused and never freed: the
// handler may be reading any of them while another thread changes one.
struct Slot {
  std::atomic<uintptr_t> begin{0};  // 0: free
  std::atomic<uintptr_t> end{0};
  std::atomic<std::atomic<bool>*> changed{nullptr};
};

struct SlotBlock {
  Slot slots[64];
  std::atomic<SlotBlock*> next{nullptr};
};

// Writers (watch, unwatch) hold the mutex and keep the sequence odd while
// they change a slot. The handler repeats its lookup until it has read the
// table under one even sequence number, so it never acts on a half-written
// slot, and it takes no lock. (Writers touch no mapping, so the handler never
// interrupts a writer in its own thread.)
std::mutex g_mutex;
std::atomic<uint64_t> g_sequence{0};
SlotBlock g_table;
struct sigaction g_previous;
uintptr_t g_page_size = 4096;
bool g_installed = false;

struct Found {
  uintptr_t page = 0;  // the faulting page
  uintptr_t end = 0;   // end of its mapping
  std::atomic<bool>* changed = nullptr;
};

bool lookup(uintptr_t address, Found& out) {
  for (;;) {
    const uint64_t before = g_sequence.load(std::memory_order_acquire);
    if (before & 1) continue;
    Found f;
    for (SlotBlock* b = &g_table; b && !f.changed; b = b->next.load(std::memory_order_acquire))
      for (Slot& s : b->slots) {
        const uintptr_t lo = s.begin.load(std::memory_order_relaxed);
        const uintptr_t hi = s.end.load(std::memory_order_relaxed);
        if (lo != 0 && lo <= address && address < hi) {
          f.end = hi;
          f.changed = s.changed.load(std::memory_order_relaxed);
          break;
        }
      }
    std::atomic_thread_fence(std::memory_order_acquire);
    if (g_sequence.load(std::memory_order_relaxed) != before) continue;
    f.page = address & ~(g_page_size - 1);
    out = f;
    return f.changed != nullptr;
  }
}

// Hands a signal that is not ours to the handler installed before ours.
void pass_on(int signal, siginfo_t* info, void* context) {
  const struct sigaction& p = g_previous;
  if (p.sa_flags & SA_SIGINFO) {
    if (p.sa_sigaction) p.sa_sigaction(signal, info, context);
    return;
  }
  if (p.sa_handler != SIG_DFL && p.sa_handler != SIG_IGN) {
    p.sa_handler(signal);
    return;
  }
  const bool sent = !info || info->si_code <= 0;  // by kill() or raise(), not by a fault
  if (p.sa_handler == SIG_IGN && sent) return;
  // The default action: a fault recurs when the access runs again on
  // return; a sent signal is sent again.
  struct sigaction default_action{};
  default_action.sa_handler = SIG_DFL;
  sigemptyset(&default_action.sa_mask);
  ::sigaction(signal, &default_action, nullptr);
  if (sent) ::raise(signal);
}

void on_bus_error(int signal, siginfo_t* info, void* context) {
  const int saved_errno = errno;
  Found f;
  if (info && info->si_code > 0 && lookup(reinterpret_cast<uintptr_t>(info->si_addr), f)) {
    f.changed->store(true, std::memory_order_release);
    // The raw system call: nothing of the C library (or of a sanitizer's
    // interceptors) runs inside the handler.
    long mapped = ::syscall(SYS_mmap, f.page, f.end - f.page, PROT_READ,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    if (reinterpret_cast<void*>(mapped) != MAP_FAILED) {
      errno = saved_errno;
      return;
    }
  }
  errno = saved_errno;
  pass_on(signal, info, context);
}

void install() {
  if (g_installed) return;
  if (long page = ::sysconf(_SC_PAGESIZE); page > 0) g_page_size = static_cast<uintptr_t>(page);
  if (::sigaction(SIGBUS, nullptr, &g_previous) != 0) return;
  struct sigaction ours{};
  ours.sa_sigaction = on_bus_error;
  ours.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
  sigemptyset(&ours.sa_mask);
  g_installed = ::sigaction(SIGBUS, &ours, nullptr) == 0;
}

void write_slot(Slot& slot, uintptr_t begin, uintptr_t end, std::atomic<bool>* changed) {
  g_sequence.fetch_add(1, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  slot.changed.store(changed, std::memory_order_relaxed);
  slot.end.store(end, std::memory_order_relaxed);
  slot.begin.store(begin, std::memory_order_relaxed);
  g_sequence.fetch_add(1, std::memory_order_release);
}

}  // namespace

void* watch(const void* data, uint64_t size, std::atomic<bool>* changed) {
  std::lock_guard lock(g_mutex);
  install();
  Slot* free = nullptr;
  SlotBlock* last = &g_table;
  for (SlotBlock* b = &g_table; b && !free; b = b->next.load(std::memory_order_relaxed)) {
    last = b;
    for (Slot& s : b->slots)
      if (s.begin.load(std::memory_order_relaxed) == 0) {
        free = &s;
        break;
      }
  }
  if (!free) {
    auto* block = new SlotBlock;  // kept for good: the handler may walk it at any time
    free = &block->slots[0];
    last->next.store(block, std::memory_order_release);
  }
  const auto begin = reinterpret_cast<uintptr_t>(data);
  const uintptr_t end = (begin + size + g_page_size - 1) & ~(g_page_size - 1);
  write_slot(*free, begin, end, changed);
  return free;
}

void unwatch(void* handle) {
  if (!handle) return;
  std::lock_guard lock(g_mutex);
  write_slot(*static_cast<Slot*>(handle), 0, 0, nullptr);
}

}  // namespace vorn::fault_guard
