// InterruptFlag: while it lives, SIGINT, SIGTERM and SIGHUP (Ctrl+C, kill,
// a closed terminal) set a flag instead of ending the program, so that a
// command can take back what it had half made before it ends. The flag is
// a cancel flag for the command runner (ProgramOptions::cancel), which then
// stops the child it runs; Reraise ends the program by the signal caught,
// as the user asked, once the command has cleaned up. A signal that was
// ignored when the flag was made (SIGHUP under nohup) stays ignored.
//
// Thread safety: one at a time per process, made and destroyed on the
// main thread; the flag may be read from any thread.
#pragma once

#include <signal.h>

#include <atomic>

namespace tarn {

class InterruptFlag {
 public:
  static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

  InterruptFlag();
  // Puts the handlers that were there before back.
  ~InterruptFlag();
  InterruptFlag(const InterruptFlag&) = delete;
  InterruptFlag& operator=(const InterruptFlag&) = delete;

  // Set once one of kSignals arrived; lives as long as the process.
  const std::atomic<bool>* flag() const;
  // The signal that arrived first, or 0.
  int signal() const;

  // When a signal arrived: puts the earlier handlers back and raises it
  // again, which ends the program unless an earlier handler said
  // otherwise. Does nothing otherwise.
  void Reraise();

 private:
  struct sigaction earlier_[sizeof kSignals / sizeof kSignals[0]];
  bool installed_[sizeof kSignals / sizeof kSignals[0]] = {};
  bool restored_ = false;

  void Restore();
};

}  // namespace tarn
