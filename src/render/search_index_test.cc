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
