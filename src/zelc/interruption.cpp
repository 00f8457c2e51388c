#include "interruption.hpp"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace zelc {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// Written before the handlers can see them: a slot is filled, then the count
// raised. The handler reads only these. They live as long as the program
// (a handler may run while it exits), so they are never freed.
std::atomic<char*>* slots = nullptr;
size_t capacity = 0;
std::atomic<size_t> used{0};

std::atomic<char*> read_failure{nullptr};

void unlink_temporary_files() {
  const size_t n = used.load(std::memory_order_acquire);
  for (size_t i = 0; i < n; ++i)
    if (char* path = slots[i].load(std::memory_order_acquire)) ::unlink(path);
}

extern "C" void fail_reading(int) {
  if (const char* line = read_failure.load(std::memory_order_acquire)) {
    ssize_t ignored = ::write(STDERR_FILENO, line, std::strlen(line));
    (void)ignored;
  }
  unlink_temporary_files();
  ::_exit(1);
}

extern "C" void remove_temporary_files(int sig) {
  unlink_temporary_files();
  // The handler was installed once (SA_RESETHAND): the signal, raised again,
  // ends the program when the handler returns.
  ::raise(sig);
}

}  // namespace

void install_interruption_handlers(size_t count) {
  capacity = count;
  slots = new std::atomic<char*>[count]();
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = remove_temporary_files;
  sigemptyset(&action.sa_mask);
  for (int sig : kSignals) sigaddset(&action.sa_mask, sig);
  action.sa_flags = SA_RESETHAND;
  for (int sig : kSignals) {
    struct sigaction old;
    // A signal the caller chose to ignore (nohup) stays ignored. SIGPIPE is
    // the exception: Python ignores it for itself, and a Python launcher
    // (the wheel's `zelc` script) passes that on through exec, which would
    // leave zelc converting on after its reader has gone.
    if (sig != SIGPIPE && sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    sigaction(sig, &action, nullptr);
  }
  std::signal(SIGXFSZ, SIG_IGN);
  struct sigaction bus;
  std::memset(&bus, 0, sizeof bus);
  bus.sa_handler = fail_reading;
  sigemptyset(&bus.sa_mask);
  sigaction(SIGBUS, &bus, nullptr);
}

void set_read_failure_message(const std::string& line) {
  // Set between sources, while no source is being read: the previous
  // message is no longer in use.
  std::free(read_failure.exchange(::strdup(line.c_str()), std::memory_order_acq_rel));
}

void add_temporary_file(const std::string& path) {
  const size_t n = used.load(std::memory_order_relaxed);
  if (n >= capacity) return;  // never: room is made for every output
  slots[n].store(::strdup(path.c_str()), std::memory_order_release);
  used.store(n + 1, std::memory_order_release);
}

SignalsHeld::SignalsHeld() {
  sigset_t held;
  sigemptyset(&held);
  for (int sig : kSignals) sigaddset(&held, sig);
  pthread_sigmask(SIG_BLOCK, &held, &previous_);
}

SignalsHeld::~SignalsHeld() {
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

}  // namespace zelc
