#include "data/language_tag.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(LanguageTagTest, NamesBecomeBcp47Tags) {
  const std::pair<const char*, const char*> cases[] = {
      {"en-us", "en-US"},   {"zh_CN", "zh-CN"},           {"EN", "en"},
      {"de", "de"},         {"zh_hans_cn", "zh-Hans-CN"}, {"es-419", "es-419"},
      {"pt-BR", "pt-BR"},   {"sr-latn", "sr-Latn"},       {"", ""},
      {"en--us_", "en-US"},
  };
  for (const auto& [name, tag] : cases) EXPECT_EQ(LanguageTag::Normalized(name), tag) << name;
}

TEST(LanguageTagTest, OnlyTagsOfTheRightShapePass) {
  const std::pair<const char*, const char*> cases[] = {
      {"en", "en"},
      {"en_gb", "en-GB"},
      {"zh-hans-cn", "zh-Hans-CN"},
      {"es-419", "es-419"},
      {"de-CH-1996", "de-CH-1996"},
      {"sl-rozaj", "sl-rozaj"},
      {"", ""},
      {"english", ""},
      {"e", ""},
      {"en-GBR", ""},
      {"en US", ""},
      {"zh-CN-x", ""},
      {"12", ""},
      {"en-\xe4\xb8\xad", ""},
  };
  for (const auto& [name, tag] : cases) EXPECT_EQ(LanguageTag::Checked(name), tag) << name;
}

TEST(LanguageTagTest, OpenGraphLocaleHasARegion) {
  const std::pair<const char*, const char*> cases[] = {
      {"en", "en_US"},         {"en-GB", "en_GB"}, {"zh-CN", "zh_CN"},   {"zh", "zh_CN"},
      {"zh-Hant-TW", "zh_TW"}, {"de", "de_DE"},    {"es-419", "es_419"}, {"eo", "eo"},
  };
  for (const auto& [tag, locale] : cases)
    EXPECT_EQ(LanguageTag::OpenGraphLocale(tag), locale) << tag;
  EXPECT_EQ(LanguageTag::Language("zh-Hans-CN"), "zh");
}

}  // namespace
}  // namespace tarn
