#include "import/hexo_post_name.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace tarn {
namespace {

// The fields as "name=value" lines, in name order.
std::string Listed(const std::map<std::string, std::string>& fields) {
  std::string out;
  for (const auto& [name, value] : fields) out += name + "=" + value + "\n";
  return out;
}

TEST(HexoPostNameTest, ReadsTheFieldsOfANameByThePattern) {
  struct Case {
    const char* pattern;
    const char* relative;
    const char* fields;
    const char* date;  // "" when the fields give none
  } cases[] = {
      {":title.md", "hello", "title=hello\n", ""},
      {":title.md", "2020/nested", "title=2020/nested\n", ""},
      {":year-:month-:day-:title.md", "2019-03-05-hello",
       "day=05\nmonth=03\ntitle=hello\nyear=2019\n", "2019-03-05"},
      {":year/:i_month/:i_day/:title.md", "2019/3/5/hi",
       "i_day=5\ni_month=3\ntitle=hi\nyear=2019\n", "2019-03-05"},
      {":year-:month-:day-:title.md", "2019-02-30-odd", "day=30\nmonth=02\ntitle=odd\nyear=2019\n",
       ""},
      {":hash-:title.md", "0123456789ab-x", "hash=0123456789ab\ntitle=x\n", ""},
      // Characters of the pattern stand for themselves.
      {"[:year] :title (:lang).md", "[2019] hi (en)", "lang=en\ntitle=hi\nyear=2019\n", ""},
      // A name that does not follow the pattern keeps only a title: its
      // slug, folders and all.
      {":year-:month-:day-:title.md", "sub/2020-12-31-deep", "title=sub-2020-12-31-deep\n", ""},
      {":year-:month-:day-:title.md", "Hello, World", "title=Hello-World\n", ""},
      {":year-:month-:title.md", "2019-03-x", "month=03\ntitle=x\nyear=2019\n", ""},
  };
  for (const Case& c : cases) {
    HexoPostName name(c.pattern);
    std::map<std::string, std::string> fields = name.Fields(c.relative);
    EXPECT_EQ(Listed(fields), c.fields) << c.pattern << " " << c.relative;
    std::optional<Permalink::Date> date = HexoPostName::DateIn(fields);
    std::string text;
    if (date) {
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", date->year, date->month, date->day);
      text = buffer;
    }
    EXPECT_EQ(text, c.date) << c.pattern << " " << c.relative;
  }
}

}  // namespace
}  // namespace tarn
