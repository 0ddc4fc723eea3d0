#include "import/permalink.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

Permalink::Date DateOf(const char* text) {
  Permalink::Date date;
  EXPECT_TRUE(Permalink::ParseDate(text, &date)) << text;
  return date;
}

TEST(PermalinkTest, ReadsTheDateFormsTheGeneratorsWrite) {
  Permalink::Date d = DateOf("2019/3/5 8:04:09");  // Hexo
  EXPECT_EQ(d.year, 2019);
  EXPECT_EQ(d.month, 3);
  EXPECT_EQ(d.day, 5);
  EXPECT_EQ(d.hour, 8);
  EXPECT_EQ(d.second, 9);
  d = DateOf("2021-06-07T23:30:00.5+08:00");  // Hugo: the fields as written
  EXPECT_EQ(d.day, 7);
  EXPECT_EQ(d.hour, 23);
  d = DateOf("2018-07-09 10:00:00 +0800");  // Jekyll
  EXPECT_EQ(d.minute, 0);
  d = DateOf("2020-02-29");
  EXPECT_EQ(d.hour, 0);

  Permalink::Date untouched;
  untouched.year = 7;
  for (const char* bad : {"", "yesterday", "2019-02-30", "2019-13-01", "19-01-01", "2019-01/01"}) {
    EXPECT_FALSE(Permalink::ParseDate(bad, &untouched)) << bad;
  }
  EXPECT_EQ(untouched.year, 7);
}

TEST(PermalinkTest, ExpandsDateTokensAndValues) {
  Permalink::Date date = DateOf("2019-03-05 08:04:09");
  std::map<std::string, std::string> values = {
      {"title", "hello-world"}, {"categories", ""}, {"output_ext", ".html"}};
  std::string error;
  EXPECT_EQ(Permalink::Expand(":year/:month/:day/:title/", &date, values, &error),
            "/2019/03/05/hello-world/");
  EXPECT_EQ(Permalink::Expand("/:categories/:year/:i_month/:i_day/:title:output_ext", &date, values,
                              &error),
            "/2019/3/5/hello-world.html");
  EXPECT_EQ(
      Permalink::Expand("/:short_year/:y_day/:yearday-:hour:minute:second/", &date, values, &error),
      "/19/064/64-080409/");
  EXPECT_EQ(Permalink::Expand("/:monthname/:short_month/:weekday/:weekdayname/:short_day/", &date,
                              values, &error),
            "/March/Mar/2/Tuesday/Tue/");
  // 2021-01-01 is a Friday of ISO week 53 of 2020.
  Permalink::Date new_year = DateOf("2021-01-01");
  EXPECT_EQ(Permalink::Expand("/:w_year/W:week/:w_day/", &new_year, values, &error),
            "/2020/W53/5/");
}

TEST(PermalinkTest, RefusesWhatItCannotFillOrWhatLeavesTheSite) {
  Permalink::Date date = DateOf("2019-03-05");
  std::string error;
  EXPECT_EQ(Permalink::Expand("/:year/:id/", &date, {}, &error), "");
  EXPECT_EQ(error, "no value for :id");
  EXPECT_EQ(Permalink::Expand("/:year/", nullptr, {}, &error), "");
  EXPECT_EQ(error, "no value for :year");
  EXPECT_EQ(Permalink::Expand("/:title/", nullptr, {{"title", "../../etc"}}, &error), "");
  EXPECT_NE(error.find("leaves the site"), std::string::npos);
  // Empty values and stray colons leave no empty segments behind.
  EXPECT_EQ(Permalink::Expand("/:a//:b/x:/", nullptr, {{"a", ""}, {"b", "./b"}}, &error), "/b/x:/");
}

TEST(PermalinkTest, SlugsFollowEachGenerator) {
  EXPECT_EQ(Permalink::HexoSlug("Hello, World! (2nd)", false), "Hello-World-2nd");
  EXPECT_EQ(Permalink::HexoSlug("  Hello World  ", true), "hello-world");
  EXPECT_EQ(Permalink::HexoSlug("你好 世界", false), "你好-世界");

  EXPECT_EQ(Permalink::JekyllSlug("Welcome to Jekyll!", false, false), "welcome-to-jekyll");
  EXPECT_EQ(Permalink::JekyllSlug("Welcome to Jekyll!", true, true), "Welcome-to-Jekyll!");
  EXPECT_EQ(Permalink::JekyllSlug("The _config.yml file", true, false), "the-_config.yml-file");

  EXPECT_EQ(Permalink::HugoSlug("A Bundle: The Sequel?", true), "a-bundle-the-sequel");
  EXPECT_EQ(Permalink::HugoSlug("C++ & Go", false), "C++-Go");
  EXPECT_EQ(Permalink::HugoSlug("Ünïcode Straße", true), "ünïcode-straße");
}

}  // namespace
}  // namespace tarn
