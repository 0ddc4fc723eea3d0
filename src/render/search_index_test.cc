#include "render/search_index.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(SearchIndexTest, PlainTextDropsMarkupAndCutsWholeCharacters) {
  EXPECT_EQ(
      SearchIndex::PlainText("<h1>Hi</h1>\n<p>a &lt;b&gt; &amp; &#x4e2d;&#25991; &bogus; "
                             "x</p><script>var s = '<p>no</p>';</script><style>p{}</style>end",
                             100),
      "Hi a <b> & 中文 &bogus; x end");
  EXPECT_EQ(SearchIndex::PlainText("<p>中文字</p>", 2), "中文");
  EXPECT_EQ(SearchIndex::PlainText("a<br>b", 100), "a b");
  EXPECT_EQ(SearchIndex::PlainText("<p>unclosed <b", 100), "unclosed");
  EXPECT_EQ(SearchIndex::PlainText("&#0;&#xD800;", 100), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

// Words are copied a run at a time: the cut, references and tags inside and
// beside a word land where they would one character at a time.
TEST(SearchIndexTest, PlainTextCutsAndPartsWordsByCharacter) {
  const struct {
    std::string_view html;
    size_t max_chars;
    std::string_view text;
  } kCases[] = {
      {"abcdef", 3, "abc"},
      {"ab cd", 3, "ab "},
      {"ab cd", 4, "ab c"},
      {"a中b文c", 4, "a中b文"},
      {"x&amp;y&bogus;z", 100, "x&y&bogus;z"},
      {"x&amp;y&bogus;z", 4, "x&y&"},
      {"one<b>two</b>three", 100, "one two three"},
      {"\x80\x80"
       "ab",
       2,
       "\x80\x80"
       "a"},
      {"é\x80"
       "b",
       1, "é\x80"},
      {"tab\tnew\nline", 100, "tab new line"},
      {"a  b \n c d ", 100, "a b c d"},
      {"a b c", 2, "a "},
      {"a &amp; b<i> c</i>", 100, "a & b c"},
      {"a \x80"
       "b",
       3, "a \x80"},
      {"a \x80"
       "b",
       4,
       "a \x80"
       "b"},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(SearchIndex::PlainText(c.html, c.max_chars), c.text) << c.html << " " << c.max_chars;
}

TEST(SearchIndexTest, EntriesAreJson) {
  SearchIndex index;
  index.Add("T \"q\"", "./articles/T.html", "2024-01-02 03:04:05", {"a", "b"}, "text\n");
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(index.Json()));
  EXPECT_EQ(doc.GetText("[0].title"), "T \"q\"");
  EXPECT_EQ(doc.GetCount("[0].tags"), 2);
  EXPECT_EQ(doc.GetText("[0].tags[1]"), "b");
}

}  // namespace
}  // namespace tarn
