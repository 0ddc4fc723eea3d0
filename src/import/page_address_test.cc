#include "import/page_address.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(PageAddressTest, AGivenAddressBecomesThePermalinkAnOldOneAnAlias) {
  struct Case {
    const char* text;
    const char* old;
    const char* kept;  // the text afterwards
    const char* change;
  } cases[] = {
      {"---\ntitle: A\n---\nx", "/a.html", "---\ntitle: A\naliases:\n  - \"/a.html\"\n---\nx",
       "old address /a.html"},
      {"x", "/a.html", "---\naliases:\n  - \"/a.html\"\n---\nx", "old address /a.html"},
      // Where tarn puts the page, or unknown: nothing to keep.
      {"---\ntitle: A\n---\nx", "/a/", "---\ntitle: A\n---\nx", ""},
      {"---\ntitle: A\n---\nx", "", "---\ntitle: A\n---\nx", ""},
      // The page's own address, tarn's or Hugo's.
      {"---\npermalink: /p/\n---\n", "/a.html", "---\npermalink: /p/\n---\n", ""},
      {"---\nurl: /me/\n---\n", "/a.html", "---\nurl: /me/\npermalink: /me/\n---\n",
       "permalink /me/"},
      {"+++\nurl = \"/me/\"\n+++\n", "", "+++\npermalink = \"/me/\"\nurl = \"/me/\"\n+++\n",
       "permalink /me/"},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    std::string note;
    std::vector<std::string> changes = PageAddress::Keep("a", c.old, &text, &note);
    EXPECT_EQ(text, c.kept) << c.text;
    EXPECT_EQ(changes, *c.change ? std::vector<std::string>{c.change} : std::vector<std::string>{})
        << c.text;
    EXPECT_EQ(note, "") << c.text;
  }
  // An address YAML cannot hold as written or quoted stays out, said so.
  std::string text = "---\nurl: \"a: b\"\n---\n";
  std::string note;
  EXPECT_TRUE(PageAddress::Keep("a", "", &text, &note).empty());
  EXPECT_EQ(text, "---\nurl: \"a: b\"\n---\n");
  EXPECT_EQ(note, "its url a: b cannot be written as its permalink");
}

}  // namespace
}  // namespace tarn
