#include "workspace/bundled_skeleton.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace tarn {
namespace {

TEST(BundledSkeletonTest, TheSystemsLanguageIsTheFirstLocaleVariableSet) {
  const struct {
    const char* lc_all;
    const char* lc_messages;
    const char* lang;
    const char* language;
  } cases[] = {
      {nullptr, nullptr, "en_US.UTF-8", "en-US"},
      {nullptr, nullptr, "zh_CN.UTF-8", "zh-CN"},
      {nullptr, nullptr, "C.UTF-8", ""},
      {nullptr, nullptr, "POSIX", ""},
      {nullptr, nullptr, nullptr, ""},
      {"", "de_DE@euro", "en_US.UTF-8", "de-DE"},
      {"fr_FR.UTF-8", "de_DE", "en_US", "fr-FR"},
      {"C", "de_DE", "en_US", ""},
      {nullptr, nullptr, "sr_RS.UTF-8@latin", "sr-RS"},
      {nullptr, nullptr, "not a locale", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BundledSkeleton::SystemLanguage(c.lc_all, c.lc_messages, c.lang), c.language)
        << (c.lc_all ? c.lc_all : "-") << " " << (c.lc_messages ? c.lc_messages : "-") << " "
        << (c.lang ? c.lang : "-");
  }
}

// The demo's files over the skeleton's; the settings name the blog's tag.
TEST(BundledSkeletonTest, ABlogInALanguageIsItsDemoOverTheSkeleton) {
  TempDir dir("skeleton");
  dir.Write("skeleton/config/base.json", "{\"system\": {\"title\": \"湖边\"}}\n");
  dir.Write("skeleton/config/conf.ini", "[base]\n");
  dir.Write("skeleton/_posts/Hello.md", "hello\n");
  dir.Write("skeleton-en/config/base.json",
            "{\"system\": {\"title\": \"Lake\", \"language\": \"en\"}}\n");
  const std::string skeleton = dir.str() + "/skeleton";
  const struct {
    const char* language;
    const char* demo;
    const char* settings;
  } cases[] = {
      {"", "", "{\"system\": {\"title\": \"湖边\"}}\n"},
      {"zh-TW", "", "{\"system\": {\"title\": \"湖边\"}}\n"},
      {"en", "en", "{\"system\": {\"title\": \"Lake\", \"language\": \"en\"}}\n"},
      {"en-GB", "en", "{\"system\": {\"title\": \"Lake\", \"language\": \"en-GB\"}}\n"},
      {"de", "en", "{\"system\": {\"title\": \"Lake\", \"language\": \"de\"}}\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.language);
    EXPECT_EQ(BundledSkeleton::DemoLanguage(skeleton, c.language), c.demo);
    const std::string stage = std::string("stage-") + c.language;
    std::string error;
    ASSERT_TRUE(BundledSkeleton(skeleton, c.language).Fill(dir.str() + "/" + stage, &error))
        << error;
    EXPECT_EQ(dir.Read(stage + "/config/base.json"), c.settings);
    EXPECT_EQ(dir.Read(stage + "/config/conf.ini"), "[base]\n");
    EXPECT_EQ(dir.Read(stage + "/_posts/Hello.md"), "hello\n");
  }
  // What import compares a blog's settings with, to know which are still
  // tarn init's.
  for (const auto& c : cases) {
    const std::string blog = dir.str() + "/stage-" + c.language;
    std::string language = "?";
    EXPECT_EQ(BundledSkeleton::FreshSettings(skeleton, blog, &language),
              skeleton + (*c.demo ? std::string("-") + c.demo : "") + "/config/base.json")
        << c.language;
    EXPECT_EQ(language, *c.demo ? c.language : "");
  }
  // A demo without its language in the settings is a broken install.
  dir.Write("skeleton-en/config/base.json", "{\"system\": {}}\n");
  std::string error;
  EXPECT_FALSE(BundledSkeleton(skeleton, "fr").Fill(dir.str() + "/stage-fr", &error));
  EXPECT_EQ(error, skeleton +
                       "-en/config/base.json: system.language is not \"en\"; "
                       "reinstall tarn");
}

}  // namespace
}  // namespace tarn
