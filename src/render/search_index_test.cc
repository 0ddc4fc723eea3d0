#include "render/search_index.h"

#include <gtest/gtest.h>

#include "data/json_document.h"

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

// The entries as a JsonDocument writes them, field by field.
std::string DocumentJson(const std::vector<std::vector<std::string>>& entries) {
  JsonDocument all = JsonDocument::NewArray();
  for (const std::vector<std::string>& e : entries) {
    JsonDocument entry = JsonDocument::NewObject();
    entry.SetText("title", e[0]);
    entry.SetText("url", e[1]);
    entry.SetText("date", e[2]);
    entry.SetEmptyArray("tags");
    for (std::size_t i = 4; i < e.size(); ++i) entry.Append("tags", JsonDocument::NewText(e[i]));
    entry.SetText("text", e[3]);
    all.Append("", std::move(entry));
  }
  return all.ToText();
}

TEST(SearchIndexTest, EntriesAreTheBytesAJsonDocumentWrites) {
  // title, url, date, text, tags...
  const std::vector<std::vector<std::string>> kEntries[] = {
      {},
      {{"T \"q\"", "./articles/T.html", "2024-01-02 03:04:05", "text\n"}},
      {{"a\\b/c", "./x y.html", "", "tab\there\r\n\b\f", "t\"1", "t\\2"},
       {"\x01\x1f\x7f ctl", "u", "d", "", ""}},
      {{"sep\xE2\x80\xA8 and \xE2\x80\xA9", "u", "d", "emoji \xF0\x9F\x98\x80 \xE4\xB8\xAD",
        "\xF0\x9F\x8F\xB7"}},
      {{"bad \xFF\xFE", "\xC3", "\xE0\x80\xAF overlong", "lone \xED\xA0\x80 surrogate",
        "cut \xE4\xB8"}},
  };
  for (const auto& entries : kEntries) {
    SearchIndex index;
    for (const std::vector<std::string>& e : entries)
      index.Add(e[0], e[1], e[2], std::vector<std::string>(e.begin() + 4, e.end()), e[3]);
    EXPECT_EQ(index.Json(), DocumentJson(entries)) << (entries.empty() ? "" : entries[0][0]);
  }
}

}  // namespace
}  // namespace tarn
