// tarn build of a blog in the bundled theme with system.language: the
// pages' language, the feed's, the Open Graph locale, the theme's strings
// and the days it shows, on every page kind; a blog that names no language
// builds as it always has (tests/fixtures/build/lake-public.saved); a tag
// that is none is reported and ignored.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <regex>
#include <set>
#include <string>

#include "support/expect_text.h"
#include "support/saved_tree.h"
#include "support/workspace_test.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

class LanguageBuildTest : public WorkspaceTest {
 protected:
  void SetUp() override {
    WorkspaceTest::SetUp();
    if (HasFatalFailure()) return;
    // Posts with fixed dates, so that the days the pages show are known.
    fs::remove_all(ws_ + "/_posts");
    fs::copy(TARN_SOURCE_DIR "/tests/fixtures/build/language-posts", ws_ + "/_posts");
    fs::copy(TARN_SOURCE_DIR "/workspace/themes/lake", ws_ + "/themes/lake",
             fs::copy_options::recursive);
    settings_ = Read("config/base.json");
    settings_.replace(settings_.find("\"plain\""), 7, "\"lake\"");
    Put("config/base.json", settings_);
  }

  // Writes base.json with system.language set to value (JSON text), or
  // without it for "", and builds.
  TarnOutcome BuildIn(const std::string& value) {
    std::string settings = settings_;
    if (!value.empty())
      settings.replace(settings.find("\"system\": {") + 11, 0, "\"language\": " + value + ",");
    Put("config/base.json", settings);
    TarnOutcome outcome = RunTarn(ws_, "build", "TZ=Asia/Shanghai");
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    return outcome;
  }

  // The HTML pages of public/, relative to it.
  std::set<std::string> Pages() {
    std::set<std::string> pages;
    for (const auto& entry : fs::recursive_directory_iterator(ws_ + "/public"))
      if (entry.path().extension() == ".html")
        pages.insert(fs::relative(entry.path(), ws_ + "/public").string());
    return pages;
  }

  std::string settings_;
};

struct LanguageCase {
  const char* value;        // system.language as JSON, "" for none
  const char* lang;         // <html lang> and the feed's <language>
  const char* locale;       // og:locale, "" for none
  const char* home;         // the menu's first entry
  const char* published;    // before the article's day
  const char* day;          // 2024-06-15 as the pages show it
  const char* month;        // June 2024 as the archive heads it
  const char* not_found;    // the 404 page's heading
  const char* placeholder;  // the search field's
};

constexpr LanguageCase kCases[] = {
    {"", "zh-CN", "", "首页", "发布于", "2024-06-15 06:20:00", "六月,2024", "找不到这个页面",
     "输入关键词…"},
    {"\"zh-CN\"", "zh-CN", "zh_CN", "首页", "发布于", "2024年6月15日", "2024年6月",
     "找不到这个页面", "输入关键词…"},
    {"\"en\"", "en", "en_US", "Home", "Published", "June 15, 2024", "June 2024",
     "This page is not here", "Words to look for…"},
    {"\"en_gb\"", "en-GB", "en_GB", "Home", "Published", "15 June 2024", "June 2024",
     "This page is not here", "Words to look for…"},
    // No strings of its own: English words, days in ISO form.
    {"\"de\"", "de", "de_DE", "Home", "Published", "2024-06-15", "2024-06", "This page is not here",
     "Words to look for…"},
};

TEST_F(LanguageBuildTest, EveryPageKindSpeaksTheBlogsLanguage) {
  for (const LanguageCase& c : kCases) {
    SCOPED_TRACE(std::string("system.language ") + (*c.value ? c.value : "unset"));
    BuildIn(c.value);
    const std::set<std::string> pages = Pages();
    for (const char* kind :
         {"index.html", "timeline.html", "articles/first.html", "tags/index.html",
          "tags/lake/index.html", "search.html", "about.html", "404.html"})
      EXPECT_EQ(pages.count(kind), 1u) << kind;
    const std::string locale =
        std::string("<meta property=\"og:locale\" content=\"") + c.locale + "\">";
    for (const std::string& page : pages) {
      SCOPED_TRACE(page);
      const std::string html = Read("public/" + page);
      EXPECT_CONTAINS(html, std::string("<html lang=\"") + c.lang + "\">");
      EXPECT_EQ(html.find(locale) != std::string::npos, *c.locale != '\0');
      EXPECT_EQ(html.find("og:locale") != std::string::npos, *c.locale != '\0');
      EXPECT_CONTAINS(html, std::string(">") + c.home + "</a>");
    }
    EXPECT_CONTAINS(Read("public/atom.xml"), std::string("<language>") + c.lang + "</language>");
    const std::string time = "<time datetime=\"2024-06-15 06:20:00\">";
    for (const char* page : {"index.html", "timeline.html", "tags/lake/index.html"})
      EXPECT_CONTAINS(Read(std::string("public/") + page), time + c.day + "</time>");
    EXPECT_CONTAINS(Read("public/articles/first.html"),
                    std::string(c.published) + " " + time + c.day + "</time>");
    EXPECT_CONTAINS(Read("public/timeline.html"),
                    std::string("<h2 class=\"month-title\">") + c.month + "</h2>");
    EXPECT_CONTAINS(Read("public/404.html"), c.not_found);
    EXPECT_CONTAINS(Read("public/search.html"), std::string("placeholder=\"") + c.placeholder);
  }
}

// What the theme wrote before it spoke more than one language, build times
// masked; the theme's assets are its own files, copied as they are.
TEST_F(LanguageBuildTest, WithoutALanguageTheBlogBuildsAsBefore) {
  BuildIn("");
  SavedTree::Tree saved =
      SavedTree::Load(TARN_SOURCE_DIR "/tests/fixtures/build/lake-public.saved");
  SavedTree::Tree built = SavedTree::Read(ws_ + "/public");
  std::erase_if(built, [](const auto& entry) { return entry.first.rfind("assets/", 0) == 0; });
  static const std::regex kBuildTime(R"(\d{4}-\d{1,2}-\d{1,2} \d{2}:\d{2}:\d{2}(</td>|"))");
  static const std::regex kFeedDate("<lastBuildDate>[^<]*<");
  auto masked = [](const std::string& text) {
    return std::regex_replace(std::regex_replace(text, kBuildTime, "TIME$1"), kFeedDate,
                              "<lastBuildDate>DATE<");
  };
  ASSERT_EQ(built.size(), saved.size());
  for (const auto& [name, bytes] : saved) {
    ASSERT_EQ(built.count(name), 1u) << name;
    EXPECT_TRUE(masked(built[name]) == masked(bytes)) << name;
  }
}

TEST_F(LanguageBuildTest, ATagThatIsNoneIsReportedAndIgnored) {
  for (const char* value : {"\"english\"", "\"en US\"", "42"}) {
    SCOPED_TRACE(value);
    TarnOutcome outcome = BuildIn(value);
    std::string written = value[0] == '"' ? std::string(value + 1, strlen(value) - 2) : value;
    EXPECT_CONTAINS(outcome.err, "config/base.json: system.language \"" + written +
                                     "\" is not a language tag; write one such as en, en-GB "
                                     "or zh-CN (it is ignored)");
    EXPECT_CONTAINS(Read("public/index.html"), "<html lang=\"zh-CN\">");
    EXPECT_CONTAINS(Read("public/index.html"), ">首页</a>");
    EXPECT_CONTAINS(Read("public/atom.xml"), "<language>zh-CN</language>");
  }
}

}  // namespace
}  // namespace tarn
