// ScopedTimeZone: runs a test's time-zone dependent code under a fixed zone
// (TZ) and puts the process's zone back when it goes.
//
// Thread safety: none; TZ is the process's.
#pragma once

#include <time.h>

#include <memory>

#include "support/scoped_environment.h"

namespace tarn {

class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone)
      : zone_(std::make_unique<ScopedEnvironment>("TZ", zone)) {
    tzset();
  }
  ~ScopedTimeZone() {
    zone_.reset();
    tzset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::unique_ptr<ScopedEnvironment> zone_;
};

}  // namespace tarn
