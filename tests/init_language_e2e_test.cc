// tarn init in the system's language (LC_ALL, LC_MESSAGES, LANG) or the one
// --language names: a Chinese, C or unset locale makes today's Chinese demo
// exactly; English, and a language without a demo of its own (which tarn
// init says), the English demo with the blog's tag as system.language; and
// the blog made builds in that language. Only the variables are set: no
// locale needs to be installed.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "data/text_file.h"
#include "support/expect_text.h"
#include "support/saved_tree.h"
#include "support/temp_dir.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

// Runs tarn with locale (shell assignments) in place of the caller's locale
// variables, settings kept in dir; returns the exit status.
int Tarn(const TempDir& dir, const std::string& locale, const std::string& arguments) {
  std::string line = "export XDG_CONFIG_HOME='" + dir.str() +
                     "/config'; unset LC_ALL LC_MESSAGES LANG; " + locale + " '" + TARN_BINARY +
                     "' " + arguments + " >'" + dir.str() + "/out' 2>'" + dir.str() + "/err'";
  int raw = std::system(line.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

struct InitCase {
  const char* locale;     // the variables tarn init runs with
  const char* arguments;  // after "init BLOG"
  const char* language;   // system.language written, "" for the Chinese demo
  bool fallback;          // tarn init says there is no demo in the language
  const char* home;       // the menu's first entry once built
};

constexpr InitCase kCases[] = {
    {"LANG=zh_CN.UTF-8", "", "", false, "首页"},
    {"LANG=C.UTF-8", "", "", false, "首页"},
    {"", "", "", false, "首页"},
    {"LANG=en_US.UTF-8", "", "en-US", false, "Home"},
    {"LANG=zh_CN.UTF-8 LC_MESSAGES=en_GB.UTF-8", "", "en-GB", false, "Home"},
    {"LANG=en_US.UTF-8 LC_ALL=zh_CN.UTF-8", "", "", false, "首页"},
    {"LANG=zh_CN.UTF-8", "--language en", "en", false, "Home"},
    {"LANG=en_US.UTF-8", "--language zh-CN", "", false, "首页"},
    {"LANG=C.UTF-8", "--language de", "de", true, "Home"},
    {"LANG=de_DE.UTF-8", "", "de-DE", true, "Home"},
};

TEST(InitLanguage, TheNewBlogIsInTheSystemsOrTheChosenLanguage) {
  const std::string skeleton = std::string(TARN_BUILD_DIR) + "/share/tarn/skeleton";
  const SavedTree::Tree chinese = SavedTree::Read(skeleton);
  std::string english_settings;
  {
    SavedTree::Tree english = SavedTree::Read(skeleton + "-en");
    english_settings = english["config/base.json"];
    ASSERT_EQ(english.size(), 1u) << "the English demo holds only its settings";
  }
  for (const InitCase& c : kCases) {
    SCOPED_TRACE(std::string(c.locale) + " init " + c.arguments);
    TempDir dir("init");
    const std::string blog = dir.str() + "/blog";
    ASSERT_EQ(Tarn(dir, c.locale, "init '" + blog + "' " + c.arguments), 0) << dir.Read("err");
    const std::string out = dir.Read("out");
    EXPECT_EQ(out.rfind("Created a blog in " + blog + "\n", 0), 0u) << out;
    EXPECT_EQ(out.find("There is no demo blog in") != std::string::npos, c.fallback) << out;
    if (c.fallback) {
      EXPECT_CONTAINS(out, std::string("There is no demo blog in ") + c.language +
                               ": its posts and settings are the English demo's");
    }

    SavedTree::Tree made = SavedTree::Read(blog);
    SavedTree::Tree expected = chinese;
    if (*c.language) {
      std::string settings = english_settings;
      settings.replace(settings.find("\"language\": \"en\""), 16,
                       std::string("\"language\": \"") + c.language + "\"");
      expected["config/base.json"] = settings;
    }
    EXPECT_EQ(made.size(), expected.size());
    for (const auto& [name, bytes] : expected) EXPECT_TRUE(made[name] == bytes) << name;

    ASSERT_EQ(Tarn(dir, "", "-w '" + blog + "' build"), 0) << dir.Read("err");
    std::string index;
    ASSERT_TRUE(ReadTextFile(blog + "/public/index.html", &index));
    EXPECT_CONTAINS(index, std::string("<html lang=\"") + (*c.language ? c.language : "zh-CN"));
    EXPECT_CONTAINS(index, std::string(">") + c.home + "</a>");
  }
}

// tarn import takes a new blog's settings over wherever they are still
// those tarn init wrote, in whatever language it wrote them.
TEST(InitLanguage, ImportTakesOverTheSettingsOfABlogMadeInAnyLanguage) {
  for (const char* locale : {"LANG=en_US.UTF-8", "LANG=de_DE.UTF-8", "LANG=C.UTF-8"}) {
    SCOPED_TRACE(locale);
    TempDir dir("init");
    const std::string blog = dir.str() + "/blog";
    ASSERT_EQ(Tarn(dir, locale, "init '" + blog + "'"), 0) << dir.Read("err");
    dir.Write("site/_config.yml", "title: Old Jekyll\nauthor: Bo\nlang: zh_CN\n");
    dir.Write("site/_posts/2020-01-02-one.md", "---\ntitle: One\n---\nText.\n");
    ASSERT_EQ(Tarn(dir, locale, "-w '" + blog + "' import '" + dir.str() + "/site'"), 0)
        << dir.Read("out") << dir.Read("err");
    const std::string settings = dir.Read("blog/config/base.json");
    for (const char* taken :
         {"\"title\": \"Old Jekyll\"", "\"author\": \"Bo\"", "\"language\": \"zh-CN\""})
      EXPECT_CONTAINS(settings, taken);
  }
}

}  // namespace
}  // namespace tarn
