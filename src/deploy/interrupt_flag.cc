#include "deploy/interrupt_flag.h"

#include <cstddef>
#include <iterator>

namespace tarn {
namespace {

// Lock-free atomics: the only thing a signal handler may safely touch.
std::atomic<bool> interrupted{false};
std::atomic<int> first_signal{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

extern "C" void OnSignal(int number) {
  int none = 0;
  first_signal.compare_exchange_strong(none, number);
  interrupted.store(true);
}

}  // namespace

InterruptFlag::InterruptFlag() {
  interrupted.store(false);
  first_signal.store(0);
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // Reads and writes go on where they were; the command runner's wait
  // looks at the flag on its own (ProgramOptions::cancel).
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    if (sigaction(kSignals[i], nullptr, &earlier_[i]) != 0 || earlier_[i].sa_handler == SIG_IGN)
      continue;
    installed_[i] = sigaction(kSignals[i], &action, nullptr) == 0;
  }
}

InterruptFlag::~InterruptFlag() { Restore(); }

const std::atomic<bool>* InterruptFlag::flag() const { return &interrupted; }

int InterruptFlag::signal() const { return first_signal.load(); }

void InterruptFlag::Restore() {
  if (restored_) return;
  restored_ = true;
  for (std::size_t i = 0; i < std::size(kSignals); ++i)
    if (installed_[i]) sigaction(kSignals[i], &earlier_[i], nullptr);
}

void InterruptFlag::Reraise() {
  int number = signal();
  if (number == 0) return;
  Restore();
  raise(number);
}

}  // namespace tarn
