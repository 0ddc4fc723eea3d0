// TagTranslationCases: the table the unit tests of the import's tag
// translators (ShortcodeTranslator, HexoTagTranslator) check them against:
// each case a post's text, the text translated, and how many tags are
// left as written. Test code only.
#pragma once

#include <gtest/gtest.h>

#include <span>
#include <string>

namespace tarn {

struct TagTranslationCase {
  const char* markdown;
  const char* translated;
  int left;  // tags left as written
};

// Translates each case's markdown with translator and expects its result.
template <typename Translator>
void ExpectTranslations(const Translator& translator, std::span<const TagTranslationCase> cases) {
  for (const TagTranslationCase& test : cases) {
    std::string text = test.markdown;
    typename Translator::Left left;
    translator.Translate(&text, &left);
    EXPECT_EQ(text, test.translated) << test.markdown;
    EXPECT_EQ(static_cast<int>(left.size()), test.left) << test.markdown;
  }
}

}  // namespace tarn
