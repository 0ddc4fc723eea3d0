// ScopedTimeZone: runs a test's time-zone dependent code under a fixed zone
// (TZ) and puts the process's zone back when it goes.
//
// Thread safety: none; TZ is the process's.
#pragma once

#include <time.h>

#include <cstdlib>
#include <string>

namespace tarn {

class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    const char* old = std::getenv("TZ");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (had_) {
      setenv("TZ", old_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  bool had_ = false;
  std::string old_;
};

}  // namespace tarn
