#include "import/source_date.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(SourceDateTest, HasOffsetOnlyWithATimeAndAZone) {
  const std::pair<const char*, bool> cases[] = {
      {"2019-03-05", false},
      {"2019-03-05 10:00", false},
      {"2019-03-05T10:00:00", false},
      {"2019/3/5 8:04:09", false},
      {"2019-03-05T10:00:00Z", true},
      {"2019-03-05 10:00:00 +0800", true},
      {"2019-03-05T10:00:00-05:00", true},
      {"2019-03-05T10:00:00.5+01:00 ", true},
      {"2019-03-05T10:00:00+1", false},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(SourceDate::HasOffset(text), expected) << text;
}

TEST(SourceDateTest, StampsTheDateInTheZoneWithItsOffsetThatDay) {
  EXPECT_EQ(SourceDate::Stamp({2019, 1, 5, 8, 4, 9}, "Europe/Berlin"), "2019-01-05T08:04:09+01:00");
  // Summer time.
  EXPECT_EQ(SourceDate::Stamp({2019, 7, 5, 0, 0, 0}, "Europe/Berlin"), "2019-07-05T00:00:00+02:00");
  EXPECT_EQ(SourceDate::Stamp({2019, 7, 5, 23, 59, 0}, "UTC"), "2019-07-05T23:59:00+00:00");
  EXPECT_EQ(SourceDate::Stamp({2019, 7, 5, 0, 0, 0}, "Asia/Shanghai"), "2019-07-05T00:00:00+08:00");
  EXPECT_EQ(SourceDate::Stamp({2019, 7, 5, 0, 0, 0}, "Nowhere/Such"), "");
}

}  // namespace
}  // namespace tarn
