#include "content/post_index.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "data/text_file.h"
#include "support/temp_dir.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

TEST(PostIndex, TitlesAndNames) {
  EXPECT_EQ(PostIndex::TitleOf("a.md.md"), "a");
  EXPECT_EQ(PostIndex::TitleOf("Notes.MD"), "Notes");
  EXPECT_EQ(PostIndex::TitleOf("x.mdd.Md"), "xd");
  EXPECT_EQ(PostIndex::TitleOf("中文.md"), "中文");
  EXPECT_TRUE(PostIndex::IsPostName("Notes.MD"));
  EXPECT_TRUE(PostIndex::IsPostName(".md"));
  EXPECT_FALSE(PostIndex::IsPostName("notes.markdown"));
  EXPECT_FALSE(PostIndex::IsPostName("md"));
  EXPECT_FALSE(PostIndex::IsPostName("a.md.txt"));
}

TEST(PostIndex, LinksEncodeOnlyWhatBreaksThem) {
  EXPECT_EQ(PostIndex::LinkName("C# tips"), "C%23%20tips");
  EXPECT_EQ(PostIndex::LinkName("100% \"sure\"? <b>\\"), "100%25%20%22sure%22%3F%20%3Cb%3E%5C");
  EXPECT_EQ(PostIndex::LinkName("tab\there\x7f"), "tab%09here%7F");
  EXPECT_EQ(PostIndex::LinkName("中文-a_b.c(1)&x=y'"), "中文-a_b.c(1)&x=y'");
  EXPECT_EQ(PostIndex::ArticleLink(".", "C# tips"), "./articles/C%23%20tips.html");
  EXPECT_EQ(PostIndex::ArticleLink("", "a"), "/articles/a.html");
}

TEST(PostIndex, ExcerptMarkerWithAnySpacing) {
  struct Case {
    const char* markdown;
    bool has_more;
  } cases[] = {
      {"Intro.\n\n<!-- more -->\n\nRest.", true},
      {"Intro.\n<!--more-->\r\nRest.", true},
      {"<!--\tmore  -->", true},
      {"Intro.\n\n<!-- more -->", true},
      {"Intro. <!--more-->\nRest.", false},  // not a line of its own
      {"<!-- more --> rest", false},
      {"<!-- mores -->\n", false},
      {"<!-- More -->\n", false},
      {"<!-- -->\n<!--\n", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PostIndex::HasMoreLine(c.markdown), c.has_more) << c.markdown;
  EXPECT_EQ(PostIndex::ExcerptOf("<p>A</p>\n<!--more-->\n<p>B</p>"), "<p>A</p>\n");
  EXPECT_EQ(PostIndex::ExcerptOf("<!-- x --><p>A</p><!--  more\t-->"), "<!-- x --><p>A</p>");
  EXPECT_EQ(PostIndex::ExcerptOf("<p>A</p><!-- moreover -->"), "");
}

TEST(PostIndex, MonthKeysInChineseNumerals) {
  const char* const expected[] = {"一月,2020", "二月,2020",   "三月,2020",     "四月,2020",
                                  "五月,2020", "六月,2020",   "七月,2020",     "八月,2020",
                                  "九月,2020", "一十月,2020", "一十一月,2020", "一十二月,2020"};
  for (int month = 1; month <= 12; ++month)
    EXPECT_EQ(PostIndex::MonthKey(2020, month), expected[month - 1]);
  EXPECT_EQ(PostIndex::MonthKey(2020, 0), "");
  EXPECT_EQ(PostIndex::MonthKeyOf("2019-12-31 23:59:59"), "一十二月,2019");
  EXPECT_EQ(PostIndex::MonthKeyOf("garbage"), "");
}

TEST(PostIndex, TimeFormats) {
  std::tm tm{};
  tm.tm_year = 2020 - 1900;
  tm.tm_mon = 1;
  tm.tm_mday = 5;
  tm.tm_hour = 4;
  tm.tm_min = 3;
  tm.tm_sec = 9;
  tm.tm_isdst = -1;
  std::time_t t = std::mktime(&tm);
  EXPECT_EQ(PostIndex::FormatPostTime(t), "2020-02-05 04:03:09");
  EXPECT_EQ(PostIndex::FormatCreateTime(t), "2020-2-5 04:03:09");
}

PostFile Post(const std::string& title, const std::string& time) {
  PostFile post;
  post.name = title + ".md";
  post.title = title;
  post.slug = title;
  post.content = "# " + title;
  post.post_time = time;
  post.update_time = time;
  return post;
}

TEST(PostIndex, FillBuildsRecordsAndTimelineAfresh) {
  JsonDocument data;
  ASSERT_TRUE(data.Parse(R"({"system":{"url":"https://x.org","author":"Ann"},)"
                         R"("posts":"from base.json","timeline":[1,2,3],"tail":1})"));
  std::vector<PostFile> posts = {Post("a b", "2020-02-05 14:03:09"),
                                 Post("c", "2019-12-01 00:00:00"),
                                 Post("d", "2020-02-28 10:00:00")};
  PostIndex::Fill(&data, posts, ".", 0);

  std::vector<std::string> keys;
  data.GetKeys("", &keys);
  // posts and timeline keep the place base.json gave them.
  EXPECT_EQ(keys, (std::vector<std::string>{"system", "posts", "timeline", "tail", "create_time",
                                            "generation_tool"}));
  EXPECT_EQ(data.GetText("generation_tool"), "TarnBlogEditor");
  data.GetKeys("posts[0]", &keys);
  EXPECT_EQ(keys, (std::vector<std::string>{"title", "url", "absolute_url", "content", "author",
                                            "post_time", "update_time"}));
  EXPECT_EQ(data.GetText("posts[0].url"), "./articles/a%20b.html");
  EXPECT_EQ(data.GetText("posts[0].absolute_url"), "https://x.org/articles/a%20b.html");
  EXPECT_EQ(data.GetText("posts[0].title"), "a b");
  EXPECT_EQ(data.GetText("posts[0].author"), "Ann");
  EXPECT_EQ(data.GetCount("posts"), 3);

  // Groups in order of their first post; posts in post order within them.
  EXPECT_EQ(data.GetCount("timeline"), 2);
  EXPECT_EQ(data.GetText("timeline[0].date"), "二月,2020");
  EXPECT_EQ(data.GetCount("timeline[0].posts"), 2);
  EXPECT_EQ(data.GetText("timeline[0].posts[1].title"), "d");
  EXPECT_EQ(data.GetText("timeline[1].date"), "一十二月,2019");
  EXPECT_EQ(data.ToText("timeline[1].posts[0]"), data.ToText("posts[1]"));

  // A second index with fewer posts leaves none of the old ones behind.
  posts.pop_back();
  posts.pop_back();
  PostIndex::Fill(&data, posts, ".", 0);
  EXPECT_EQ(data.GetCount("posts"), 1);
  EXPECT_EQ(data.GetCount("timeline"), 1);
  EXPECT_EQ(data.GetCount("timeline[0].posts"), 1);

  PostIndex::Fill(&data, {}, ".", 0);
  EXPECT_EQ(data.GetType("posts"), JsonDocument::kArray);
  EXPECT_EQ(data.GetType("timeline"), JsonDocument::kArray);
  EXPECT_EQ(data.GetCount("posts"), 0);
}

TEST(PostIndex, ScanReadsPostsInNameOrder) {
  TempDir temp("posts");
  const std::string dir = temp.str();
  ASSERT_TRUE(WriteTextFile(dir + "/b.md", "B"));
  ASSERT_TRUE(WriteTextFile(dir + "/A.MD", "A"));
  ASSERT_TRUE(WriteTextFile(dir + "/中.md", ""));
  ASSERT_TRUE(WriteTextFile(dir + "/bad.md", "ok\nline \xff\xfe"));
  ASSERT_TRUE(WriteTextFile(dir + "/notes.txt", "x"));
  fs::create_directory(dir + "/folder.md");
  std::vector<std::string> messages;
  std::vector<PostFile> posts =
      PostIndex::Scan(dir, [&](const std::string& m) { messages.push_back(m); });
  ASSERT_EQ(posts.size(), 4u);
  EXPECT_EQ(posts[0].name, "A.MD");
  EXPECT_EQ(posts[0].title, "A");
  EXPECT_EQ(posts[1].name, "b.md");
  EXPECT_EQ(posts[2].name, "bad.md");
  EXPECT_EQ(posts[3].name, "中.md");
  EXPECT_EQ(posts[3].content, "");
  EXPECT_EQ(posts[1].content, "B");
  EXPECT_EQ(posts[0].path, dir + "/A.MD");
  EXPECT_EQ(posts[0].post_time.size(), 19u);
  EXPECT_EQ(PostIndex::Count(dir), 4);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("bad.md:2: not valid UTF-8"), std::string::npos) << messages[0];

  std::string post_time = "unchanged";
  std::string update_time = "unchanged";
  EXPECT_FALSE(PostIndex::GetPostTimes(dir + "/gone.md", &post_time, &update_time));
  EXPECT_EQ(post_time, "unchanged");
  fs::remove_all(dir);
  EXPECT_TRUE(PostIndex::Scan(dir, nullptr).empty());
  EXPECT_EQ(PostIndex::Count(dir), 0);
}

// The desktop program's reader preview opens one post's page: the same
// slug and draft rules as the build's scan, and the page's file and link.
TEST(PostIndex, OnePostReadsAsTheScanReadsIt) {
  TempDir dir{"post"};
  std::string path = dir.Write("C# tips.MD", "---\nslug: c-sharp\ndraft: true\n---\nBody\n");
  dir.Write("plain.md", "Plain");
  std::vector<std::string> messages;
  auto sink = [&](const std::string& m) { messages.push_back(m); };
  PostFile post;
  ASSERT_TRUE(PostIndex::ReadPost(path, &post, sink));
  std::vector<PostFile> scanned = PostIndex::Scan(dir.str(), sink);
  ASSERT_EQ(scanned.size(), 2u);
  EXPECT_EQ(post.name, scanned[0].name);
  EXPECT_EQ(post.title, "C# tips");
  EXPECT_EQ(post.slug, "c-sharp");
  EXPECT_TRUE(post.draft);
  EXPECT_EQ(post.Markdown(), "Body\n");
  EXPECT_EQ(post.ArticleFile(), "articles/c-sharp.html");
  EXPECT_EQ(post.Url("."), "./articles/c-sharp.html");

  ASSERT_TRUE(PostIndex::ReadPost(dir.str() + "/plain.md", &post, sink));
  EXPECT_EQ(post.ArticleFile(), "articles/plain.html");
  EXPECT_FALSE(post.draft);
  EXPECT_FALSE(PostIndex::ReadPost(dir.str() + "/gone.md", &post, sink));
  EXPECT_TRUE(messages.empty());
}

// A slug too long for a file name, from front matter or from the post's
// own long name, is shortened (never inside a character, two long ones
// kept apart); one that fits stays as written.
TEST(PostIndex, SlugsFitAFileName) {
  TempDir dir{"post"};
  const std::string fits(PostFile::kMaxSlugBytes, 'f');
  std::set<std::string> slugs;
  const std::string cut = "---\nslug: " + std::string(159, 's') + "中" + std::string(100, 'b');
  for (const std::string& text :
       {"---\nslug: " + fits + "\n---\n", cut + "\n---\n", cut + "c\n---\n", std::string("x")}) {
    std::string name =
        text == "x" ? std::string(252, 'n') + ".md" : std::to_string(slugs.size()) + ".md";
    PostFile post;
    ASSERT_TRUE(PostIndex::ReadPost(dir.Write(name, text), &post, nullptr));
    EXPECT_LE(post.slug.size(), PostFile::kMaxSlugBytes);
    EXPECT_TRUE(PostIndex::IsUtf8Name(post.slug)) << post.slug;
    EXPECT_TRUE(slugs.insert(post.slug).second) << "two posts share " << post.slug;
  }
  EXPECT_EQ(slugs.count(fits), 1u);
}

}  // namespace
}  // namespace tarn
