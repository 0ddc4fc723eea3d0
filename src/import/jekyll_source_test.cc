#include "import/jekyll_source.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace tarn {
namespace {

TEST(JekyllSourceTest, SplitsDatedNames) {
  struct Case {
    const char* name;
    const char* date;  // "" when the name is not dated
    const char* slug;
  } cases[] = {
      {"2014-07-13-old-post", "2014-07-13", "old-post"},
      {"2014-7-3-short", "2014-07-03", "short"},
      {"2014-07-13-", "2014-07-13", ""},
      {"2014-07-13-a-2015-01-01-b", "2014-07-13", "a-2015-01-01-b"},
      {"2014-02-30-no-such-day", "", ""},
      {"2014-07-13", "", ""},
      {"old-post", "", ""},
      {"20140713-old-post", "", ""},
  };
  for (const Case& c : cases) {
    Permalink::Date date;
    std::string slug = "untouched";
    bool split = JekyllSource::SplitName(c.name, &date, &slug);
    EXPECT_EQ(split, *c.date != '\0') << c.name;
    if (!split) {
      EXPECT_EQ(slug, "untouched") << c.name;
      continue;
    }
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
    EXPECT_EQ(std::string(text), c.date) << c.name;
    EXPECT_EQ(slug, c.slug) << c.name;
  }
}

TEST(JekyllSourceTest, NamedStylesStandForTheirPatterns) {
  struct Case {
    const char* setting;
    const char* pattern;
  } cases[] = {
      {"date", "/:categories/:year/:month/:day/:title:output_ext"},
      {"pretty", "/:categories/:year/:month/:day/:title/"},
      {"ordinal", "/:categories/:year/:y_day/:title:output_ext"},
      {"weekdate", "/:categories/:year/W:week/:short_day/:title:output_ext"},
      {"none", "/:categories/:title:output_ext"},
      {"/blog/:year/:title/", "/blog/:year/:title/"},
      {"Pretty", "Pretty"},  // the styles' names are lower case
  };
  for (const Case& c : cases) EXPECT_EQ(JekyllSource::PatternOf(c.setting), c.pattern);
}

}  // namespace
}  // namespace tarn
