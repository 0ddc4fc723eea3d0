// Clock: the time "now" for whatever decides by it: which posts a build
// shows (a post dated later is scheduled), when a build started, what
// `tarn publish --due` finds due. TARN_NOW fixes it for tests (an ISO 8601
// date-time as front matter writes one, "2026-05-01T08:00:00+08:00", or
// seconds since the epoch); users never set it.
//
// Thread safety: no state; any thread.
#pragma once

#include <ctime>
#include <string_view>

namespace tarn {

class Clock {
 public:
  // TARN_NOW when it is set and readable, else the system's time.
  static std::time_t Now();

  // Reads a time written as TARN_NOW takes it; false for any other text.
  static bool Parse(std::string_view text, std::time_t* time);
};

}  // namespace tarn
