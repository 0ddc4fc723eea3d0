#include "content/clock.h"

#include <gtest/gtest.h>

#include "support/scoped_environment.h"

namespace tarn {
namespace {

TEST(ClockTest, ReadsTheTimesTarnNowTakes) {
  const struct {
    const char* text;
    bool read;
    std::time_t time;
  } kCases[] = {
      {"1767225600", true, 1767225600},
      {"2026-01-01T00:00:00Z", true, 1767225600},
      {"2026-01-01T08:00:00+08:00", true, 1767225600},
      {"", false, 0},
      {"12ab", false, 0},
      {"tomorrow", false, 0},
  };
  for (const auto& c : kCases) {
    std::time_t time = 0;
    EXPECT_EQ(Clock::Parse(c.text, &time), c.read) << c.text;
    if (c.read) {
      EXPECT_EQ(time, c.time) << c.text;
    }
  }
}

TEST(ClockTest, TarnNowFixesNowWhenReadable) {
  {
    ScopedEnvironment now("TARN_NOW", "2026-01-01T00:00:00Z");
    EXPECT_EQ(Clock::Now(), 1767225600);
  }
  // Unreadable: the system's time.
  ScopedEnvironment now("TARN_NOW", "whenever");
  std::time_t before = std::time(nullptr);
  EXPECT_GE(Clock::Now(), before);
}

}  // namespace
}  // namespace tarn
