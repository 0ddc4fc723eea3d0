#include "data/translation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"

namespace tarn {
namespace {

TEST(Translation, TranslatesOutsideTheCLocalesOnly) {
  struct Case {
    const char* locale;
    bool translates;
  };
  const Case cases[] = {
      {"C", false},          {"POSIX", false}, {"C.UTF-8", false},
      {"C.utf8", false},     {nullptr, false}, {"en_US.UTF-8", true},
      {"zh_CN.UTF-8", true}, {"de_DE", true},  {"Catalan_x", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Translation::Translates(c.locale), c.translates) << (c.locale ? c.locale : "null");
  }
}

TEST(Translation, FindsTheCataloguesOfTheBuildTreeOrTheInstall) {
  namespace fs = std::filesystem;
  TempDir tmp;
  const std::string bin = tmp.str() + "/prefix/bin";
  fs::create_directories(bin);
  EXPECT_EQ(Translation::Find(bin), "");
  EXPECT_EQ(Translation::Find(""), "");
  fs::create_directories(tmp.str() + "/prefix/share/locale/en/LC_MESSAGES");
  std::ofstream(tmp.str() + "/prefix/share/locale/en/LC_MESSAGES/tarn.mo") << "x";
  EXPECT_EQ(Translation::Find(bin), tmp.str() + "/prefix/share/locale");
  fs::create_directories(bin + "/share/locale/en/LC_MESSAGES");
  std::ofstream(bin + "/share/locale/en/LC_MESSAGES/tarn.mo") << "x";
  EXPECT_EQ(Translation::Find(bin), bin + "/share/locale");
}

TEST(Translation, ALanguageWithoutACatalogueReadsEnglish) {
  namespace fs = std::filesystem;
  TempDir tmp;
  for (const char* lang : {"en", "fr_CA"}) {
    fs::create_directories(tmp.str() + "/" + lang + "/LC_MESSAGES");
    std::ofstream(tmp.str() + "/" + lang + "/LC_MESSAGES/tarn.mo") << "x";
  }
  struct Case {
    const char* locale;
    bool english;
  };
  const Case cases[] = {
      {"de_DE.UTF-8", true},  {"de", true},           {"ja_JP.UTF-8@x", true},
      {"en_GB.UTF-8", false}, {"zh_CN.UTF-8", false}, {"zh_TW.UTF-8", false},
      {"fr_CA.UTF-8", false}, {"fr_FR.UTF-8", true},  {"C.UTF-8", false},
      {"POSIX", false},       {nullptr, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Translation::ReadsEnglish(c.locale, tmp.str()), c.english)
        << (c.locale ? c.locale : "null");
  }
}

TEST(Translation, FormatFillsAPrintfFormat) {
  EXPECT_EQ(Translation::Format("「%s」有 %d 处", "文章.md", 3), "「文章.md」有 3 处");
}

}  // namespace
}  // namespace tarn
