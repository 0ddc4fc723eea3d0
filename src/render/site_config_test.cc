#include "render/site_config.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace tarn {
namespace {

class SiteConfigTest : public ::testing::Test {
 protected:
  SiteConfig Loaded() {
    SiteConfig config(temp_.str());
    config.Load(sink_);
    config.LoadTheme(sink_);
    return config;
  }

  TempDir temp_{"config"};
  std::vector<std::string> messages_;
  DiagnosticSink sink_ = [this](const std::string& m) { messages_.push_back(m); };
};

TEST_F(SiteConfigTest, SettingsComeWithoutAnyPost) {
  temp_.Write("config/base.json",
              "{\"system\":{\"theme\":\"t\",\"url\":\"https://x.org\","
              "\"deployUrl\":\"https://u:p@x.org/site.git\",\"sourceUrl\":\"/srv/src.git\"}}");
  temp_.Write("config/conf.ini", "[base]\nAbsoluteUrl=1\n");
  SiteConfig config = Loaded();
  EXPECT_TRUE(config.loaded());
  EXPECT_EQ(config.Setting("system.deployUrl"), "https://u:p@x.org/site.git");
  EXPECT_EQ(config.Setting("system.sourceUrl"), "/srv/src.git");
  EXPECT_EQ(config.url_prefix(), "https://x.org");
  EXPECT_EQ(config.theme_dir(), temp_.str() + "/themes/t");
  // A theme without _conf.json asks for nothing.
  EXPECT_FALSE(config.features().Any());
  EXPECT_EQ(config.theme().ToText(), "{}");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(SiteConfigTest, WhatTheThemeAsksFor) {
  temp_.Write("config/base.json", "{\"system\":{\"theme\":\"t\"}}");
  const struct {
    const char* conf;
    int paginate;
    bool search;
    bool sitemap;
    bool reported;
    bool summary = false;
    bool code_at_build = false;
    bool maths_at_build = false;
  } cases[] = {
      {"{\"paginate\": 5, \"search\": true}", 5, true, false, false},
      {"{\"summary\": true}", 0, false, false, false, true},
      {"{\"paginate\": \"3\", \"search\": \"true\", \"sitemap\": true}", 3, true, true, false},
      {"{\"paginate\": 0, \"search\": \"yes\"}", 0, false, false, false},
      {"{\"paginate\": -2}", 0, false, false, true},
      {"{\"paginate\": \"ten\"}", 0, false, false, true},
      {"{\"paginate\": [1]}", 0, false, false, false},
      {"{\"order\": \"newest\", \"paginate\": }", 0, false, false, true},  // does not parse
      {"{\"render\": {\"code\": \"build\", \"maths\": \"build\"}}", 0, false, false, false, false,
       true, true},
      {"{\"render\": {\"code\": \"browser\", \"maths\": \"build\"}}", 0, false, false, false, false,
       false, true},
      {"{\"render\": {\"code\": \"server\"}}", 0, false, false, true},
      {"{\"render\": {\"maths\": true}}", 0, false, false, true},
      {"{\"render\": \"build\"}", 0, false, false, false},
  };
  for (const auto& c : cases) {
    messages_.clear();
    temp_.Write("themes/t/_conf.json", c.conf);
    SiteConfig config = Loaded();
    EXPECT_EQ(config.features().paginate, c.paginate) << c.conf;
    EXPECT_EQ(config.features().search, c.search) << c.conf;
    EXPECT_EQ(config.features().sitemap, c.sitemap) << c.conf;
    EXPECT_EQ(config.features().summary, c.summary) << c.conf;
    EXPECT_EQ(config.features().code_at_build, c.code_at_build) << c.conf;
    EXPECT_EQ(config.features().maths_at_build, c.maths_at_build) << c.conf;
    EXPECT_EQ(!messages_.empty(), c.reported) << c.conf;
    if (c.reported) {
      EXPECT_EQ(messages_[0].rfind(temp_.str() + "/themes/t/_conf.json:", 0), 0u) << messages_[0];
    }
  }
  temp_.Write("themes/t/_conf.json", "{\"order\": \"newest\"}");
  temp_.Write("themes/t/categories.mtpl", "");
  SiteConfig config = Loaded();
  EXPECT_TRUE(config.newest_first());
  EXPECT_TRUE(config.features().taxonomies);
  EXPECT_FALSE(config.features().tag_pages);
  temp_.Write("themes/t/tag.mtpl", "");
  EXPECT_TRUE(Loaded().features().tag_pages);
}

// The blog's language is a checked tag; the pages fall back to the
// theme's own language, then to the default one.
TEST_F(SiteConfigTest, TheFeedsTheThemeAsksFor) {
  temp_.Write("config/base.json", "{\"system\":{\"theme\":\"t\"}}");
  const struct {
    const char* conf;
    const char* kinds;  // r, a, j: the feeds the pages link to
    bool full;
    bool tag_feeds;
    bool reported;
  } cases[] = {
      {"{}", "r", false, false, false},
      {"{\"feeds\": [\"rss\", \"atom\", \"json\"]}", "raj", false, false, false},
      {"{\"feeds\": [\"json\"]}", "j", false, false, false},
      {"{\"feeds\": []}", "", false, false, false},
      {"{\"feeds\": [\"atom\", \"rdf\"]}", "a", false, false, true},
      {"{\"feeds\": \"atom\"}", "r", false, false, false},
      {"{\"feed\": {\"content\": \"full\"}, \"tagFeeds\": true}", "r", true, true, false},
      {"{\"feed\": {\"content\": \"summary\"}, \"tagFeeds\": \"true\"}", "r", false, true, false},
      {"{\"feed\": {\"content\": \"all\"}}", "r", false, false, true},
  };
  for (const auto& c : cases) {
    messages_.clear();
    temp_.Write("themes/t/_conf.json", c.conf);
    const ThemeFeatures features = Loaded().features();
    std::string kinds;
    if (features.feed_rss) kinds += 'r';
    if (features.feed_atom) kinds += 'a';
    if (features.feed_json) kinds += 'j';
    EXPECT_EQ(kinds, c.kinds) << c.conf;
    EXPECT_EQ(features.feed_full, c.full) << c.conf;
    EXPECT_EQ(features.tag_feeds, c.tag_feeds) << c.conf;
    EXPECT_EQ(!messages_.empty(), c.reported) << c.conf;
  }
}

TEST_F(SiteConfigTest, TheLanguageIsATagOrNothing) {
  const struct {
    const char* language;  // system.language as JSON, "" for none
    const char* theme;     // the theme's defaultLanguage as JSON, "" for none
    const char* checked;
    const char* page;
    bool reported;
  } cases[] = {
      {"", "", "", "zh-CN", false},
      {"\"en_us\"", "", "en-US", "en-US", false},
      {"", "\"en\"", "", "en", false},
      {"\"de\"", "\"en\"", "de", "de", false},
      {"\"english\"", "\"en\"", "", "en", true},
      {"[\"en\"]", "", "", "zh-CN", true},
      {"null", "\"fr ench\"", "", "zh-CN", true},
  };
  for (const auto& c : cases) {
    messages_.clear();
    temp_.Write("config/base.json",
                std::string("{\"system\":{\"theme\":\"t\"") +
                    (*c.language ? std::string(",\"language\":") + c.language : "") + "}}");
    temp_.Write("themes/t/_conf.json",
                *c.theme ? std::string("{\"defaultLanguage\":") + c.theme + "}" : "{}");
    SiteConfig config = Loaded();
    EXPECT_EQ(config.language(), c.checked) << c.language;
    EXPECT_EQ(config.page_language(), c.page) << c.language << " " << c.theme;
    EXPECT_EQ(messages_.size(), c.reported ? 1u : 0u) << c.language << " " << c.theme;
  }
  EXPECT_EQ(messages_[0], temp_.str() +
                              "/themes/t/_conf.json: defaultLanguage \"fr ench\" is not a language "
                              "tag; write one such as en, en-GB or zh-CN (it is ignored)");
}

}  // namespace
}  // namespace tarn
