#include "render/feed_builder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "render/atom_feed.h"
#include "render/json_feed.h"
#include "support/scoped_time_zone.h"

namespace tarn {
namespace {

// 2020-02-05 06:03:09 UTC.
constexpr std::time_t kNow = 1580882589;

// A post as the build reads it: its link is
// https://blog.example/articles/SLUG.html.
PostFile Post(std::string title, std::string content, std::string slug = "p",
              std::string update_time = "2020-02-05 14:03:09") {
  PostFile post;
  post.title = std::move(title);
  post.content = std::move(content);
  post.slug = std::move(slug);
  post.post_time = update_time;
  post.update_time = std::move(update_time);
  return post;
}

JsonDocument SiteData() {
  JsonDocument data;
  data.Create();
  data.SetText("system.title", "My Blog");
  data.SetText("system.url", "https://blog.example");
  data.SetText("system.description", "Notes");
  data.SetText("system.author", "Tarn");
  return data;
}

// Runs xmllint on the feed; the exit status and what it printed.
struct Lint {
  int status = -1;
  std::string output;
};

Lint RunXmllint(const std::string& feed, const std::string& arguments) {
  std::string path = testing::TempDir() + "feed_builder_test_" + std::to_string(getpid()) + ".xml";
  {
    std::ofstream file(path, std::ios::binary);
    file << feed;
  }
  Lint lint;
  std::string command = "xmllint " + arguments + " '" + path + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return lint;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) lint.output.append(buffer, n);
  int status = pclose(pipe);
  lint.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::remove(path.c_str());
  return lint;
}

void ExpectWellFormed(const std::string& feed) {
  Lint lint = RunXmllint(feed, "--noout");
  EXPECT_EQ(lint.status, 0) << lint.output << "\n--- feed ---\n" << feed;
}

// The text of the node an XPath expression selects, as an XML parser reads it.
std::string XPathText(const std::string& feed, const std::string& xpath) {
  Lint lint = RunXmllint(feed, "--xpath 'string(" + xpath + ")'");
  EXPECT_EQ(lint.status, 0) << lint.output;
  // xmllint ends what it prints with a line break of its own.
  if (!lint.output.empty() && lint.output.back() == '\n') lint.output.pop_back();
  return lint.output;
}

TEST(FeedBuilderTest, ChannelLayoutWithoutPosts) {
  std::string feed = FeedBuilder::BuildFeed(SiteData(), {}, kNow);
  EXPECT_EQ(feed,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
            "<rss xmlns:atom=\"http://www.w3.org/2005/Atom\" version=\"2.0\">\r\n"
            "    <channel>\r\n"
            "        <title><![CDATA[My Blog]]></title>\r\n"
            "        <link>https://blog.example</link>\r\n"
            "        <atom:link href=\"https://blog.example/atom.xml\" rel=\"self\" "
            "type=\"application/rss+xml\" />\r\n"
            "        <description><![CDATA[Notes]]></description>\r\n"
            "        <generator>TarnBlogEditor</generator>\r\n"
            "        <webMaster>noreply@tarn.invalid (Tarn Blog Editor)</webMaster>\r\n"
            "        <language>zh-CN</language>\r\n"
            "        <lastBuildDate>Wed, 05 Feb 2020 06:03:09 GMT</lastBuildDate>\r\n"
            "        <ttl>50</ttl>\r\n"
            "\r\n"
            "    </channel>\r\n"
            "</rss>\r\n");
  ExpectWellFormed(feed);

  // Without a tree there is nothing to build from.
  EXPECT_EQ(FeedBuilder::BuildFeed(JsonDocument(), {}, kNow), "");
}

TEST(FeedBuilderTest, ItemsFollowPostOrder) {
  ScopedTimeZone zone("Asia/Shanghai");
  JsonDocument data = SiteData();
  data.SetText("rss_rul", "https://blog.example/atom.xml");
  std::string feed = FeedBuilder::BuildFeed(
      data, {Post("First", "# One\r\nbody", "First"), Post("Second", "two", "Second")}, kNow);
  EXPECT_NE(feed.find("        <ttl>50</ttl>\r\n"
                      "    <item>\r\n"
                      "      <title><![CDATA[First]]></title>\r\n"
                      "      <description><![CDATA[# One\r\nbody]]></description>\r\n"
                      "      <pubDate>Wed, 05 Feb 2020 06:03:09 GMT</pubDate>\r\n"
                      "      <guid isPermaLink=\"true\">https://blog.example/articles/First.html"
                      "</guid>\r\n"
                      "      <link>https://blog.example/articles/First.html</link>\r\n"
                      "      <author><![CDATA[Tarn]]></author>\r\n"
                      "    </item>\r\n"
                      "    <item>\r\n"
                      "      <title><![CDATA[Second]]></title>\r\n"),
            std::string::npos)
      << feed;
  EXPECT_NE(feed.find("    </item>\r\n\r\n    </channel>\r\n</rss>\r\n"), std::string::npos);
  EXPECT_NE(feed.find("href=\"https://blog.example/atom.xml\""), std::string::npos);
  ExpectWellFormed(feed);
}

TEST(FeedBuilderTest, DescriptionIsFirstHundredBytesWithoutSplittingCharacters) {
  const std::string ascii98(98, 'a');
  const std::string ascii99(99, 'a');
  // "中文" are three UTF-8 bytes each but count as two.
  std::vector<PostFile> posts = {
      Post("t1", ascii99 + "中文"), Post("t2", ascii98 + "中文"),
      Post("t3",
           "中文中文中文中文中文中文中文中文中文中文中文中文中文中文中文中文中文中文中文中文"
           "中文中文中文中文中文中文中文中文中文中文尾")};
  std::string feed = FeedBuilder::BuildFeed(SiteData(), posts, kNow);
  ExpectWellFormed(feed);
  EXPECT_EQ(XPathText(feed, "//item[1]/description"), ascii99);
  EXPECT_EQ(XPathText(feed, "//item[2]/description"), ascii98 + "中");
  std::string fifty;
  for (int i = 0; i < 25; ++i) fifty += "中文";
  EXPECT_EQ(XPathText(feed, "//item[3]/description"), fifty);
}

TEST(FeedBuilderTest, DatesAreUtcRfc822) {
  ScopedTimeZone zone("Asia/Shanghai");
  EXPECT_EQ(FeedBuilder::FormatFeedDate("2020-02-05 14:03:09"), "Wed, 05 Feb 2020 06:03:09 GMT");
  // Local midnight hours fall on the previous day, month and year in UTC.
  EXPECT_EQ(FeedBuilder::FormatFeedDate("2020-01-01 03:00:00"), "Tue, 31 Dec 2019 19:00:00 GMT");
  EXPECT_EQ(FeedBuilder::FormatFeedTime(0), "Thu, 01 Jan 1970 00:00:00 GMT");

  for (const char* bad : {"", "2020-02-05", "2020-02-05 14:03", "2020-13-05 14:03:09",
                          "2020-02-05T14:03:09", "2020-02-05 14:03:09 ", "2020-02-05 24:00:00",
                          "x2020-02-05 14:03:09", "2020-2-5 14:3:9x"}) {
    EXPECT_EQ(FeedBuilder::FormatFeedDate(bad), "") << bad;
  }

  std::string feed =
      FeedBuilder::BuildFeed(SiteData(), {Post("p", "body", "p", "2019-12-01 07:30:00")}, kNow);
  EXPECT_NE(feed.find("<pubDate>Sat, 30 Nov 2019 23:30:00 GMT</pubDate>"), std::string::npos);
  EXPECT_NE(feed.find("<lastBuildDate>Wed, 05 Feb 2020 06:03:09 GMT</lastBuildDate>"),
            std::string::npos);
}

TEST(FeedBuilderTest, DatesFollowSummerTime) {
  ScopedTimeZone zone("Europe/Berlin");
  EXPECT_EQ(FeedBuilder::FormatFeedDate("2021-07-01 12:00:00"), "Thu, 01 Jul 2021 10:00:00 GMT");
  EXPECT_EQ(FeedBuilder::FormatFeedDate("2021-01-01 12:00:00"), "Fri, 01 Jan 2021 11:00:00 GMT");
}

TEST(FeedBuilderTest, HostileValuesStayWellFormed) {
  const std::string title = "a]]>b <i>&amp; ]]]]>";
  const std::string content = "]]>start\x01\x08\x0b\x0c\x1f<![CDATA[x]]>\xef\xbf\xbf end";
  JsonDocument data = SiteData();
  data.SetText("system.title", "T]]>");
  data.SetText("system.url", "https://blog.example/?a=1&b=<2>");
  data.SetText("system.author", "O'Neil]]>");
  data.SetText("rss_rul", "https://blog.example/atom.xml?x=\"1\"&y");
  data.SetText("system.description", "]]><script>alert(1)</script>\x02");
  std::string feed = FeedBuilder::BuildFeed(data, {Post(title, content, "a&b'c")}, kNow);
  ExpectWellFormed(feed);

  // The parser reads back exactly what was put in, less the characters
  // XML cannot carry.
  // Addresses are percent-encoded where a URI may not hold a character.
  const std::string link = "https://blog.example/?a=1&b=%3C2%3E/articles/a&b'c.html";
  EXPECT_EQ(XPathText(feed, "//item/title"), title);
  EXPECT_EQ(XPathText(feed, "//item/description"), "]]>start<![CDATA[x]]> end");
  EXPECT_EQ(XPathText(feed, "//item/author"), "O'Neil]]>");
  EXPECT_EQ(XPathText(feed, "//item/link"), link);
  EXPECT_EQ(XPathText(feed, "//item/guid"), link);
  EXPECT_EQ(XPathText(feed, "/rss/channel/link"), "https://blog.example/?a=1&b=%3C2%3E");
  EXPECT_EQ(XPathText(feed, "/rss/channel/title"), "T]]>");
  EXPECT_EQ(XPathText(feed, "/rss/channel/*[@rel=\"self\"]/@href"),
            "https://blog.example/atom.xml?x=%221%22&y");
  EXPECT_EQ(feed.find('\x01'), std::string::npos);

  // Bytes that are not UTF-8 become U+FFFD instead of making the file unreadable.
  feed = FeedBuilder::BuildFeed(
      SiteData(), {Post("bad \xff\xfe title", "\xc3( \xed\xa0\x80 \xf4\x90\x80\x80")}, kNow);
  ExpectWellFormed(feed);
  EXPECT_EQ(XPathText(feed, "//item/title"), "bad \xef\xbf\xbd\xef\xbf\xbd title");
}

TEST(FeedBuilderTest, PlaceholdersInPostsExpandAgainstSiteData) {
  std::vector<PostFile> posts = {
      Post("About {$system.author} at {$system.url}", "see {$system.title}"),
      Post("When {$lastBuidDate}", "{$missing} and {$}"), Post("Cut {$sys", "tem.title} stays")};
  JsonDocument data = SiteData();
  data.SetText("gt", ">");
  data.SetText("loop", "{$system.title}");
  std::string feed = FeedBuilder::BuildFeed(data, posts, kNow);
  ExpectWellFormed(feed);
  EXPECT_EQ(XPathText(feed, "//item[1]/title"), "About Tarn at https://blog.example");
  EXPECT_EQ(XPathText(feed, "//item[1]/description"), "see My Blog");
  EXPECT_EQ(XPathText(feed, "//item[2]/title"), "When Wed, 05 Feb 2020 06:03:09 GMT");
  EXPECT_EQ(XPathText(feed, "//item[2]/description"), " and ");
  EXPECT_EQ(XPathText(feed, "//item[3]/title"), "Cut {$sys");

  // The expansion can complete a "]]>" that was not there before: still safe.
  data.SetText("system.author", "x]]{$gt}");
  feed = FeedBuilder::BuildFeed(data, posts, kNow);
  ExpectWellFormed(feed);
  EXPECT_EQ(XPathText(feed, "//item[2]/author"), "x]]>");
  // An expanded value is not expanded again.
  data.SetText("system.author", "{$loop}");
  feed = FeedBuilder::BuildFeed(data, posts, kNow);
  EXPECT_EQ(XPathText(feed, "//item[3]/author"), "{$system.title}");
}

// A post with front matter shows its description, else the start of its
// body without the front matter; a post without shows its text's start.
TEST(FeedBuilderTest, DescriptionsOfPostsWithFrontMatter) {
  PostFile described = Post("d", "---\ndescription: x\n---\nBody");
  described.has_front = true;
  described.description = "From the front matter";
  PostFile bare = Post("b", "---\ntitle: b\n---\nThe body alone");
  bare.has_front = true;
  std::string feed =
      FeedBuilder::BuildFeed(SiteData(), {described, bare, Post("p", "---\nno front")}, kNow);
  EXPECT_EQ(XPathText(feed, "//item[1]/description"), "From the front matter");
  EXPECT_EQ(XPathText(feed, "//item[2]/description"), "The body alone");
  EXPECT_EQ(XPathText(feed, "//item[3]/description"), "---\nno front");
}

TEST(FeedBuilderTest, ExpandVariablesStopsAtLineBreaks) {
  auto upper = [](const std::string& name) { return "<" + name + ">"; };
  EXPECT_EQ(FeedBuilder::ExpandVariables("a {$b\n} {$c} {${$d}", upper), "a {$b\n} <c> <{$d>");
  EXPECT_EQ(FeedBuilder::ExpandVariables("{$x\r} {$", upper), "<x\r> {$");
}

TEST(FeedBuilderTest, TheSelfLinkIsTheFeedsOwnAddressOrNone) {
  const struct {
    const char* url;
    const char* rss_rul;
    const char* line;  // "" when the feed has no self link
  } cases[] = {
      {"https://blog.example", nullptr, "<atom:link href=\"https://blog.example/atom.xml\""},
      {"https://blog.example", "https://feeds.example/湖",
       "<atom:link href=\"https://feeds.example/%E6%B9%96\""},
      {"", "https://feeds.example/blog", "<atom:link href=\"https://feeds.example/blog\""},
      {"", nullptr, ""},
  };
  for (const auto& c : cases) {
    JsonDocument data = SiteData();
    data.SetText("system.url", c.url);
    if (c.rss_rul != nullptr) data.SetText("rss_rul", c.rss_rul);
    std::string feed = FeedBuilder::BuildFeed(data, {Post("A", "a")}, kNow);
    ExpectWellFormed(feed);
    if (*c.line == '\0') {
      EXPECT_EQ(feed.find("atom:link"), std::string::npos) << feed;
    } else {
      EXPECT_NE(feed.find(std::string("        ") + c.line +
                          " rel=\"self\" type=\"application/rss+xml\" />\r\n"),
                std::string::npos)
          << feed;
    }
  }
}

// Items as the build makes them for "feed": {"content": "full"}.
std::vector<FeedItem> FullItems(const std::vector<PostFile>& posts, const char* html) {
  std::vector<const PostFile*> listed;
  for (const PostFile& post : posts) listed.push_back(&post);
  std::vector<FeedItem> items = FeedBuilder::SummaryItems(listed, "https://blog.example");
  for (FeedItem& item : items) item.html = html;
  return items;
}

TEST(FeedBuilderTest, FullContentGoesInAsWritten) {
  JsonDocument data = SiteData();
  const std::vector<PostFile> posts = {Post("A", "a", "a")};
  // A post's HTML may show a placeholder, and may hold "]]>" in code.
  const char* html = "<p>{$system.title} <code>]]&gt;</code> ]]> 中文</p>";
  FeedChannel channel = FeedBuilder::SiteChannel(data, "en");
  std::string feed = FeedBuilder::BuildRss(data, channel, FullItems(posts, html), kNow);
  ExpectWellFormed(feed);
  EXPECT_NE(feed.find("xmlns:content=\"http://purl.org/rss/1.0/modules/content/\""),
            std::string::npos);
  EXPECT_EQ(XPathText(feed, "//item/*[local-name()=\"encoded\"]"), html);
  EXPECT_EQ(XPathText(feed, "//item/description"), "a");

  // Summaries only: the channel as before, without the content namespace.
  feed = FeedBuilder::BuildRss(data, channel, FullItems(posts, ""), kNow);
  EXPECT_EQ(feed.find("content"), std::string::npos);
}

TEST(FeedBuilderTest, AtomAndJsonFeedsCarryTheSamePosts) {
  ScopedTimeZone zone("Asia/Shanghai");
  std::vector<PostFile> posts = {Post("湖 <one>", "a", "one", "2020-02-05 14:03:09"),
                                 Post("Two", "b", "two", "2020-01-01 08:00:00")};
  posts[0].tags = {"湖"};
  JsonDocument data = SiteData();
  FeedChannel channel = FeedBuilder::SiteChannel(data, "en");
  channel.self = "https://blog.example/feed.atom";
  for (const char* html : {"", "<p>x &amp; y</p>"}) {
    SCOPED_TRACE(html);
    const std::vector<FeedItem> items = FullItems(posts, html);
    std::string atom = AtomFeed::Build(channel, items, kNow);
    ExpectWellFormed(atom);
    EXPECT_EQ(XPathText(atom, "//*[local-name()=\"entry\"][1]/*[local-name()=\"title\"]"),
              "湖 <one>");
    EXPECT_EQ(XPathText(atom, "//*[local-name()=\"entry\"][1]/*[local-name()=\"id\"]"),
              "https://blog.example/articles/one.html");
    EXPECT_EQ(XPathText(atom, "//*[local-name()=\"entry\"][1]/*[local-name()=\"updated\"]"),
              "2020-02-05T06:03:09Z");
    EXPECT_EQ(XPathText(atom, "/*/*[local-name()=\"updated\"]"), "2020-02-05T06:03:09Z");
    EXPECT_EQ(XPathText(atom, "//*[local-name()=\"entry\"][1]/*[local-name()=\"category\"]/@term"),
              "湖");
    EXPECT_EQ(XPathText(atom, *html ? "//*[local-name()=\"entry\"][1]/*[local-name()=\"content\"]"
                                    : "//*[local-name()=\"entry\"][1]/*[local-name()=\"summary\"]"),
              *html ? html : "a");

    JsonDocument json;
    ASSERT_TRUE(json.Parse(JsonFeed::Build(channel, items)));
    EXPECT_EQ(json.GetText("version"), "https://jsonfeed.org/version/1.1");
    EXPECT_EQ(json.GetCount("items"), 2);
    EXPECT_EQ(json.GetText("items[0].title"), "湖 <one>");
    EXPECT_EQ(json.GetText("items[0].id"), "https://blog.example/articles/one.html");
    EXPECT_EQ(json.GetText("items[0].date_modified"), "2020-02-05T06:03:09Z");
    EXPECT_EQ(json.GetText("items[0].tags[0]"), "湖");
    EXPECT_EQ(json.GetText(*html ? "items[1].content_html" : "items[1].content_text"),
              *html ? html : "b");
    EXPECT_FALSE(json.Exists(*html ? "items[1].content_text" : "items[1].content_html"));
  }
}

TEST(FeedBuilderTest, LinksNameTheFeedsThePagesOffer) {
  ThemeFeatures rss;
  ThemeFeatures all;
  all.feed_atom = all.feed_json = all.tag_feeds = true;
  ThemeFeatures json_only;
  json_only.feed_rss = false;
  json_only.feed_json = true;
  const struct {
    const ThemeFeatures* features;
    const char* folder;
    const char* name;
    const char* lines;
  } cases[] = {
      // A theme without "feeds" gets the one line lake always wrote.
      {&rss, "", "",
       "<link rel=\"alternate\" type=\"application/rss+xml\" title=\"RSS\" href=\"./atom.xml\">"},
      {&rss, "tags/a", "a",
       "<link rel=\"alternate\" type=\"application/rss+xml\" title=\"RSS\" href=\"./atom.xml\">"},
      {&json_only, "", "",
       "<link rel=\"alternate\" type=\"application/feed+json\" title=\"JSON Feed\" "
       "href=\"./feed.json\">"},
      {&all, "tags/a&b", "a&b",
       "<link rel=\"alternate\" type=\"application/rss+xml\" title=\"RSS\" href=\"./atom.xml\">\n"
       "<link rel=\"alternate\" type=\"application/atom+xml\" title=\"Atom\" "
       "href=\"./feed.atom\">\n"
       "<link rel=\"alternate\" type=\"application/feed+json\" title=\"JSON Feed\" "
       "href=\"./feed.json\">\n"
       "<link rel=\"alternate\" type=\"application/rss+xml\" title=\"RSS: a&amp;b\" "
       "href=\"./tags/a&b/atom.xml\">\n"
       "<link rel=\"alternate\" type=\"application/atom+xml\" title=\"Atom: a&amp;b\" "
       "href=\"./tags/a&b/feed.atom\">\n"
       "<link rel=\"alternate\" type=\"application/feed+json\" title=\"JSON Feed: a&amp;b\" "
       "href=\"./tags/a&b/feed.json\">"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FeedBuilder::Links(*c.features, ".", c.folder, c.name), c.lines) << c.folder;
}

}  // namespace
}  // namespace tarn
