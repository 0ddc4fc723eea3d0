#include "render/theme_strings.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace tarn {
namespace {

TEST(ThemeStringsTest, EachKeyComesFromTheFirstLanguageThatHasIt) {
  TempDir theme("theme");
  theme.Write("i18n/en.json", R"({"home": "Home", "about": "About", "search": "Search"})");
  theme.Write("i18n/en-GB.json", R"({"home": "Front page"})");
  theme.Write("i18n/zh-CN.json", R"({"home": "首页", "about": "关于", "tagged": "标签"})");
  theme.Write("i18n/zh.json", R"({"search": "搜索", "count": 3})");
  const struct {
    const char* language;
    const char* texts;  // the strings as JSON
  } cases[] = {
      {"en-GB", R"({"home":"Front page","about":"About","search":"Search","tagged":"tagged"})"},
      {"en", R"({"home":"Home","about":"About","search":"Search","tagged":"tagged"})"},
      {"zh-CN", R"({"home":"首页","about":"关于","tagged":"标签","search":"搜索"})"},
      {"de", R"({"home":"Home","about":"About","search":"Search","tagged":"tagged"})"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> messages;
    JsonDocument strings = ThemeStrings::Load(
        theme.str(), c.language, [&messages](const std::string& m) { messages.push_back(m); });
    EXPECT_EQ(strings.ToText("", false, false), c.texts) << c.language;
    // zh.json's count is no text: reported wherever zh.json is read.
    ASSERT_EQ(messages.size(), 1u) << c.language;
    EXPECT_EQ(messages[0], theme.str() + "/i18n/zh.json: count is not a text; it is left out");
  }
  EXPECT_EQ(ThemeStrings::Chain("zh-Hans-CN"),
            (std::vector<std::string>{"zh-Hans-CN", "zh", "en"}));
}

TEST(ThemeStringsTest, AThemeWithoutStringsHasNone) {
  TempDir theme("theme");
  EXPECT_FALSE(ThemeStrings::Load(theme.str(), "en", nullptr).HasTree());
}

}  // namespace
}  // namespace tarn
