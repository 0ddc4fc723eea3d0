#include "data/spelling_dictionaries.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

const std::vector<std::string> kInstalled = {"de_AT", "de_DE", "en_GB", "en_US", "fr", "pt_BR"};

TEST(SpellingDictionariesTest, ForFindsTheDictionaryOfATagOrLocaleName) {
  const struct {
    const char* name;
    const char* dictionary;
  } cases[] = {
      {"en", "en_US"},
      {"en-GB", "en_GB"},
      {"en-AU", "en_US"},
      {"en_GB.UTF-8", "en_GB"},
      {"EN-gb", "en_GB"},
      {"de_AT@euro", "de_AT"},
      {"de-CH", "de_DE"},
      {"fr-CA", "fr"},
      {"pt", "pt_BR"},
      {"zh-CN", ""},
      {"zh_CN.UTF-8", ""},
      {"ja", ""},
      {"C", ""},
      {"POSIX", ""},
      {"", ""},
      {"not a tag", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SpellingDictionaries::For(c.name, kInstalled), c.dictionary) << c.name;
  }
  EXPECT_EQ(SpellingDictionaries::For("en", {}), "");
}

TEST(SpellingDictionariesTest, ChooseTakesThePostsLanguageThenTheBlogsThenTheSystems) {
  using List = std::vector<std::string>;
  const List system = {"en_GB.UTF-8", "en_GB", "en", "de_DE", "zh_CN", "C"};
  const struct {
    const char* post;
    const char* blog;
    List expected;
  } cases[] = {
      {"de", "en", {"de_DE"}}, {"", "en-GB", {"en_GB"}},
      {"zh-CN", "en", {}},  // the post's language decides, even without a dictionary
      {"", "zh-CN", {}},       {"", "", {"en_GB", "en_US", "de_DE"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SpellingDictionaries::Choose(c.post, c.blog, system, kInstalled), c.expected)
        << c.post << "|" << c.blog;
  }
}

}  // namespace
}  // namespace tarn
