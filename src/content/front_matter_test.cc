#include "content/front_matter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/scoped_time_zone.h"

namespace tarn {
namespace {

struct Reported {
  std::vector<std::string> messages;
  DiagnosticSink sink() {
    return [this](const std::string& m) { messages.push_back(m); };
  }
};

// Runs the test body in a fixed time zone so that local times are known.
class FrontMatterTest : public ::testing::Test {
 private:
  ScopedTimeZone zone_{"Asia/Shanghai"};
};

constexpr std::time_t kUtc20200205 = 1580911389;  // 2020-02-05 14:03:09 UTC

TEST_F(FrontMatterTest, FencesYamlTomlLfAndCrLf) {
  struct Case {
    std::string text;
    FrontMatter::Format format;
    bool closed;
    std::string block;
    std::string body;
  };
  const Case cases[] = {
      {"---\ntitle: a\n---\nbody\n", FrontMatter::Format::kYaml, true, "title: a\n", "body\n"},
      {"---\r\ntitle: a\r\n...\r\nbody", FrontMatter::Format::kYaml, true, "title: a\r\n", "body"},
      {"+++\ntitle = 'a'\n+++\n", FrontMatter::Format::kToml, true, "title = 'a'\n", ""},
      {"\xEF\xBB\xBF---\n---\nx", FrontMatter::Format::kYaml, true, "", "x"},
      {"---  \ntitle: a\n---", FrontMatter::Format::kYaml, true, "title: a\n", ""},
      // TOML is closed only by +++, YAML never by +++.
      {"+++\na = 1\n---\n", FrontMatter::Format::kToml, false, "", ""},
      {"---\na: 1\n+++\n", FrontMatter::Format::kYaml, false, "", ""},
      // Not a fence: the ten-dash header, a thematic break with text, no line break.
      {"----------\r\na|b\r\n----------\r\n", FrontMatter::Format::kNone, false, "", ""},
      {"--- x\n---\n", FrontMatter::Format::kNone, false, "", ""},
      {"---", FrontMatter::Format::kNone, false, "", ""},
      {"text\n---\na: 1\n---\n", FrontMatter::Format::kNone, false, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    FrontMatter::Block block = FrontMatter::Find(c.text);
    EXPECT_EQ(block.format, c.format);
    EXPECT_EQ(block.closed, c.closed);
    if (!c.closed) {
      EXPECT_EQ(FrontMatter::BodyOf(c.text), c.text);
      continue;
    }
    EXPECT_EQ(block.text, c.block);
    EXPECT_EQ(FrontMatter::BodyOf(c.text), c.body);
  }
}

constexpr std::string_view kYamlPost =
    "---\n"
    "title: \"Hello: world\"\n"
    "date: 2020-02-05 14:03:09\n"
    "tags: [a, b]\n"
    "categories: notes\n"
    "sticky: 10\n"
    "ratio: 0.50\n"
    "draft: false\n"
    "quoted: 'true'\n"
    "cover:\n  src: x.png\n  alt: ~\n"
    "---\nbody";

TEST_F(FrontMatterTest, YamlKeysKeepTheirOrderAndTypes) {
  FrontMatter front;
  Reported reported;
  ASSERT_TRUE(front.Read(kYamlPost, "p.md", reported.sink()));
  EXPECT_TRUE(reported.messages.empty());
  EXPECT_EQ(front.format(), FrontMatter::Format::kYaml);
  EXPECT_EQ(front.values().ToText(),
            "{\"title\":\"Hello: world\",\"date\":\"2020-02-05 14:03:09\",\"tags\":[\"a\",\"b\"],"
            "\"categories\":\"notes\",\"sticky\":10,\"ratio\":0.50,\"draft\":false,"
            "\"quoted\":\"true\",\"cover\":{\"src\":\"x.png\",\"alt\":null}}");
  EXPECT_EQ(front.GetText("title"), "Hello: world");
  EXPECT_EQ(front.GetText("sticky"), "10");
  EXPECT_EQ(front.GetList("tags"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(front.GetList("categories"), (std::vector<std::string>{"notes"}));
  EXPECT_TRUE(front.GetList("missing").empty());
  bool flag = true;
  EXPECT_TRUE(front.GetFlag("draft", &flag));
  EXPECT_FALSE(flag);
  EXPECT_FALSE(front.GetFlag("title", &flag));
  EXPECT_EQ(front.body_offset(), kYamlPost.size() - 4);
}

TEST_F(FrontMatterTest, TomlValuesIncludingNativeDates) {
  FrontMatter front;
  Reported reported;
  ASSERT_TRUE(
      front.Read("+++\r\n"
                 "title = \"Hugo post\"\r\n"
                 "date = 2020-02-05T14:03:09Z\r\n"
                 "lastmod = 2020-03-01\r\n"
                 "tags = [\"go\", \"web\"]\r\n"
                 "draft = true\r\n"
                 "weight = 3\r\n"
                 "[params]\r\nimage = \"a.png\"\r\n"
                 "+++\r\nbody",
                 "h.md", reported.sink()));
  EXPECT_TRUE(reported.messages.empty());
  EXPECT_EQ(front.values().ToText(),
            "{\"title\":\"Hugo post\",\"date\":\"2020-02-05T14:03:09Z\",\"lastmod\":\"2020-03-01\","
            "\"tags\":[\"go\",\"web\"],\"draft\":true,\"weight\":3,"
            "\"params\":{\"image\":\"a.png\"}}");
  std::time_t time = 0;
  EXPECT_EQ(front.GetDate("date", &time), FrontMatter::DateResult::kRead);
  EXPECT_EQ(time, kUtc20200205);
  EXPECT_EQ(front.GetDate("updated", &time), FrontMatter::DateResult::kMissing);
  EXPECT_EQ(front.GetDate("title", &time), FrontMatter::DateResult::kUnreadable);
}

TEST_F(FrontMatterTest, EveryDateForm) {
  const std::time_t local = kUtc20200205 - 8 * 3600;  // 14:03:09 in Shanghai
  struct Case {
    const char* text;
    std::time_t expected;
  };
  const Case cases[] = {
      {"2020-02-05 14:03:09", local},
      {"2020-02-05 14:03", local - 9},
      {"2020-02-05", local - (14 * 3600 + 3 * 60 + 9)},
      {"2020/2/5 14:03:09", local},
      {"2020/2/5 4:03:09", local - 10 * 3600},
      {"2020-02-05T14:03:09Z", kUtc20200205},
      {"2020-02-05t14:03:09.123z", kUtc20200205},
      {"2020-02-05T14:03:09+08:00", local},
      {"2020-02-05T14:03:09.5-05:30", kUtc20200205 + 5 * 3600 + 1800},
      {"2020-02-05 14:03:09 +0800", local},
      {"2020-02-05 14:03:09 -0000", kUtc20200205},
      {" 2020-02-05 14:03:09 ", local},
      {"2020-02-29", 1582934400 - 8 * 3600},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::time_t time = 0;
    ASSERT_TRUE(FrontMatter::ParseDate(c.text, &time));
    EXPECT_EQ(time, c.expected);
  }
  for (const char* bad : {"", "yesterday", "2019-02-29", "2020-13-01", "2020-02-05 25:00",
                          "2020-02-05 14:3", "2020-02-05T", "2020-02-05 14:03:09 +8",
                          "2020-02-05 14:03:09 CET", "20-02-05", "2020-02/05", "2020-02-05x"}) {
    std::time_t time = 7;
    EXPECT_FALSE(FrontMatter::ParseDate(bad, &time)) << bad;
  }
}

TEST_F(FrontMatterTest, BrokenBlocksAreReportedWithFileAndLine) {
  struct Case {
    std::string text;
    std::string message_start;
  };
  const Case cases[] = {
      {"---\ntitle: a\nno end\n", "p.md:1: front matter opened by \"---\" is never closed"},
      {"---\ntitle: a\ntags: [a, b\n---\n", "p.md:4: front matter is not valid YAML"},
      {"---\n- a\n- b\n---\n", "p.md:2: front matter is not a mapping"},
      {"+++\ntitle = \"a\"\ndate = = 3\n+++\n", "p.md:3: front matter is not valid TOML"},
      {"---\na: 1\n\tb: [\n---\n", "p.md:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    FrontMatter front;
    Reported reported;
    EXPECT_FALSE(front.Read(c.text, "p.md", reported.sink()));
    EXPECT_FALSE(front.present());
    EXPECT_EQ(front.body_offset(), 0u);
    EXPECT_EQ(front.values().ToText(), "{}");
    ASSERT_EQ(reported.messages.size(), 1u);
    EXPECT_EQ(reported.messages[0].rfind(c.message_start, 0), 0u) << reported.messages[0];
  }
  FrontMatter none;
  Reported quiet;
  EXPECT_FALSE(none.Read("# plain post\n", "p.md", quiet.sink()));
  EXPECT_TRUE(quiet.messages.empty());
}

TEST_F(FrontMatterTest, HostileBlocksAreRefusedQuickly) {
  // Aliases that expand a billion times, nesting beyond the bound, a huge
  // block, a long string aliased as value or key many times.
  std::string laughs = "---\na: &a [x, x, x, x, x, x, x, x, x, x]\n";
  char previous = 'a';
  for (char name = 'b'; name <= 'j'; ++name) {
    laughs += std::string(1, name) + ": &" + name + " [";
    for (int i = 0; i < 10; ++i) laughs += std::string(i ? ", *" : "*") + previous;
    laughs += "]\n";
    previous = name;
  }
  laughs += "---\n";
  std::string deep = "---\na: " + std::string(1000, '[') + std::string(1000, ']') + "\n---\n";
  std::string toml_deep = "+++\na = " + std::string(200, '[') + std::string(200, ']') + "\n+++\n";
  std::string huge = "---\nbody: \"" + std::string(10 << 20, 'x') + "\"\n---\n";
  // One long string repeated through aliases, within the other bounds.
  std::string strings = "---\ns: &s " + std::string(100 << 10, 'x') + "\nvalues:\n";
  for (int i = 0; i < 20; ++i) strings += "  k" + std::to_string(i) + ": *s\n";
  std::string keys = "---\ns: &s " + std::string(100 << 10, 'x') + "\nkeys:\n";
  for (int i = 0; i < 20; ++i) keys += "  - {? *s : " + std::to_string(i) + "}\n";
  strings += "---\n";
  keys += "---\n";
  for (const std::string* text : {&laughs, &deep, &toml_deep, &huge, &strings, &keys}) {
    FrontMatter front;
    Reported reported;
    EXPECT_FALSE(front.Read(*text, "p.md", reported.sink()));
    ASSERT_EQ(reported.messages.size(), 1u) << text->substr(0, 80);
    EXPECT_NE(reported.messages[0].find("p.md:"), std::string::npos);
  }
  FrontMatter reused;
  EXPECT_TRUE(reused.Read("---\nname: &n Tarn\nauthor: *n\n---\n", "p.md", nullptr));
  EXPECT_EQ(reused.GetText("author"), "Tarn");
}

TEST_F(FrontMatterTest, FormatNowCarriesTheOffset) {
  EXPECT_EQ(FrontMatter::FormatNow(kUtc20200205), "2020-02-05T22:03:09+08:00");
  std::time_t back = 0;
  ASSERT_TRUE(FrontMatter::ParseDate(FrontMatter::FormatNow(kUtc20200205), &back));
  EXPECT_EQ(back, kUtc20200205);
}

}  // namespace
}  // namespace tarn
