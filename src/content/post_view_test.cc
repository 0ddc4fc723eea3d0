#include "content/post_view.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

PostFile Post(const std::string& title, bool front) {
  PostFile post;
  post.title = title;
  post.slug = title;
  post.content = "# " + title;
  post.post_time = "2024-01-02 03:04:05";
  post.update_time = "2024-02-03 04:05:06";
  if (front) {
    post.has_front = true;
    post.tags = {"C++", "a/b"};
    post.description = "About " + title;
    post.front = JsonDocument::NewObject();
    post.front.SetText("title", title);
  }
  return post;
}

std::vector<std::string> Keys(const JsonDocument& doc, const std::string& path) {
  std::vector<std::string> keys;
  doc.GetKeys(path, &keys);
  return keys;
}

TEST(PostViewTest, RecordsHoldTheSevenAndTheFrontMatters) {
  PostView view(".", "https://x.org", "Ann");
  JsonDocument plain = view.Record(Post("a b", false), true);
  EXPECT_EQ(Keys(plain, ""), (std::vector<std::string>{"title", "url", "absolute_url", "content",
                                                       "author", "post_time", "update_time"}));
  EXPECT_EQ(plain.GetText("url"), "./articles/a%20b.html");
  EXPECT_EQ(plain.GetText("absolute_url"), "https://x.org/articles/a%20b.html");
  EXPECT_EQ(plain.GetText("author"), "Ann");
  JsonDocument listed = view.Record(Post("c", true), false);
  EXPECT_EQ(Keys(listed, ""),
            (std::vector<std::string>{"title", "url", "absolute_url", "author", "post_time",
                                      "update_time", "tags", "categories", "description", "excerpt",
                                      "front"}));
  EXPECT_EQ(listed.ToText("tags"), "[\"C++\",\"a\\/b\"]");
}

// An article page's post.* is filled in place post after post: what one
// post's front matter set is gone for the next post without front matter,
// and members nobody sets (toc) stay.
TEST(PostViewTest, ArticleViewsFollowOneAnother) {
  PostView view(".", "", "");
  JsonDocument page;
  PostFile first = Post("first", true);
  view.SetHead(first, &page);
  view.SetBody(first, "<p>1</p>", &page);
  view.LinkTerms(first, true, false, &page);
  page.SetText("post.toc", "<ol></ol>");
  // The folder is named "a%2Fb"; the link escapes its "%".
  EXPECT_EQ(page.GetText("post.tags[1].url"), "./tags/a%252Fb/index.html");
  EXPECT_EQ(page.GetText("post.tags[0].name"), "C++");
  EXPECT_EQ(page.ToText("post.categories"), "[]");

  PostFile second = Post("second", false);
  view.SetHead(second, &page);
  view.SetBody(second, "<p>2</p>", &page);
  view.LinkTerms(second, true, false, &page);
  EXPECT_EQ(Keys(page, "post"), (std::vector<std::string>{"title", "url", "absolute_url", "content",
                                                          "post_time", "update_time", "toc"}));
  EXPECT_EQ(page.GetText("post.content"), "<p>2</p>");
  EXPECT_EQ(page.GetText("post.absolute_url"), "/articles/second.html");

  view.SetBody(first, "<p>1</p>", &page);
  view.LinkTerms(first, false, false, &page);
  EXPECT_EQ(page.GetText("post.tags[0].url"), "");
}

TEST(PostViewTest, NewestUpdateLeavesOutPostsDatedAhead) {
  std::vector<PostFile> posts(3, Post("p", false));
  posts[0].update_time = "2024-03-01 00:00:00";
  posts[1].update_time = "9999-12-31 00:00:00";
  posts[2].update_time = "2024-01-01 00:00:00";
  const std::string now = "2025-06-01 12:00:00";
  EXPECT_EQ(PostView::NewestUpdate(posts, now), "2024-03-01 00:00:00");
  EXPECT_EQ(PostView::NewestUpdate(posts, {1, 2}, now), "2024-01-01 00:00:00");
  EXPECT_EQ(PostView::NewestUpdate(posts, {1}, now), "");
  EXPECT_EQ(PostView::NewestUpdate(posts, "9999-12-31 00:00:00"), "9999-12-31 00:00:00");
}

TEST(PostViewTest, HasMathSaysWhetherTheHtmlHoldsAFormula) {
  const struct {
    const char* html;
    bool has_math;
  } cases[] = {
      {"<p><span class=\"math inline\"><span class=\"katex\">x</span></span></p>", true},
      {"<div class=\"math display\">y</div>\n", true},
      {"<p>Costs $5 and $10</p>", false},
      {"<pre><code>class=&quot;math inline&quot;</code></pre>", false},
  };
  PostView view(".", "", "");
  JsonDocument page = JsonDocument::NewObject();
  for (const auto& c : cases) {
    view.SetHasMath(c.html, &page);
    EXPECT_EQ(page.GetBool("post.has_math"), c.has_math) << c.html;
  }
}

// A blog with a language shows the days in it; without one the records
// keep exactly their members.
TEST(PostViewTest, DaysAsTheBlogsLanguageWritesThem) {
  const struct {
    const char* language;
    const char* time;
    const char* day;
    const char* month;
  } cases[] = {
      {"en", "2024-06-15 06:20:00", "June 15, 2024", "June 2024"},
      {"en-US", "2024-1-2 03:04:05", "January 2, 2024", "January 2024"},
      {"en-GB", "2024-12-31 23:59:59", "31 December 2024", "December 2024"},
      {"zh-CN", "2024-06-05 06:20:00", "2024年6月5日", "2024年6月"},
      {"zh-Hant-TW", "2024-06-05 06:20:00", "2024年6月5日", "2024年6月"},
      {"de", "2024-6-5 06:20:00", "2024-06-05", "2024-06"},
      {"en", "soon", "soon", "soon"},
      {"en", "2024-13-01 00:00:00", "2024-13-01 00:00:00", "2024-13-01 00:00:00"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PostView::DateText(c.language, c.time), c.day) << c.language << " " << c.time;
    EXPECT_EQ(PostView::MonthText(c.language, c.time), c.month) << c.language << " " << c.time;
  }
  PostFile post = Post("p", false);
  JsonDocument record = PostView(".", "https://x.org", "Ann", "en").Record(post, false);
  EXPECT_EQ(record.GetText("post_date"), "January 2, 2024");
  EXPECT_EQ(record.GetText("update_date"), "February 3, 2024");
  JsonDocument page;
  PostView british(".", "https://x.org", "Ann", "en-GB");
  british.SetHead(post, &page);
  british.SetBody(post, "<p>x</p>", &page);
  EXPECT_EQ(page.GetText("post.post_date"), "2 January 2024");
  EXPECT_FALSE(PostView(".", "https://x.org", "Ann").Record(post, false).Exists("post_date"));
}

}  // namespace
}  // namespace tarn
