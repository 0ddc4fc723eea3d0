#include "deploy/schedule_units.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(ScheduleUnitsTest, CommandWordsAreQuotedForSystemdAndCron) {
  const struct {
    const char* path;
    const char* unit_word;
    const char* crontab_word;
  } kCases[] = {
      {"/home/a/blog", "\"/home/a/blog\"", "'/home/a/blog'"},
      {"/home/a/my blog", "\"/home/a/my blog\"", "'/home/a/my blog'"},
      {"/b/100%", "\"/b/100%%\"", "'/b/100\\%'"},
      {"/b/$HOME \"x\" \\", "\"/b/$$HOME \\\"x\\\" \\\\\"", "'/b/$HOME \"x\" \\'"},
      {"/b/it's", "\"/b/it's\"", "'/b/it'\\''s'"},
  };
  for (const auto& c : kCases) {
    ScheduleUnits units("/u", c.path, "/usr/bin/tarn");
    EXPECT_EQ(ScheduleUnits::QuoteForUnit(c.path), c.unit_word) << c.path;
    EXPECT_NE(
        units.ServiceText().find(std::string("ExecStart=\"/usr/bin/tarn\" publish --due -w ") +
                                 c.unit_word + "\n"),
        std::string::npos)
        << units.ServiceText();
    std::string line = units.CrontabLine();
    std::string tail = std::string(" publish --due -w ") + c.crontab_word;
    ASSERT_GE(line.size(), tail.size());
    EXPECT_EQ(line.substr(line.size() - tail.size()), tail) << line;
  }
}

TEST(ScheduleUnitsTest, EachBlogHasUnitsOfItsOwn) {
  ScheduleUnits one("/u", "/home/a/blog", "/usr/bin/tarn");
  ScheduleUnits other("/u", "/home/a/blog2", "/usr/bin/tarn");
  EXPECT_NE(one.Name(), other.Name());
  EXPECT_EQ(one.Name(), ScheduleUnits("/v", "/home/a/blog", "/opt/tarn").Name());
  EXPECT_EQ(one.timer_path(), "/u/" + one.Name() + ".timer");
}

}  // namespace
}  // namespace tarn
