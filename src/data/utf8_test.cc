#include "data/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace tarn {
namespace {

TEST(TextConversion, Utf8AndUtf16) {
  EXPECT_EQ(Utf8ToUtf16("a中\xF0\x9F\x98\x80"), u"a中\U0001F600");
  // Invalid bytes, overlong forms, encoded surrogates and truncated sequences
  // each become U+FFFD.
  EXPECT_EQ(Utf8ToUtf16("\xFF"
                        "a\xC0\xAF"
                        "b\xED\xA0\x80"
                        "c\xE4\xB8"),
            u"\uFFFDa\uFFFD\uFFFDb\uFFFD\uFFFD\uFFFDc\uFFFD\uFFFD");
}

TEST(TextConversion, CutAtWidthCountsWideCharactersAsTwo) {
  EXPECT_EQ(CutAtWidth("abcdef", 4), "abcd");
  EXPECT_EQ(CutAtWidth("ab中文", 4), "ab中");
  EXPECT_EQ(CutAtWidth("ab中文", 5), "ab中");  // never half a character
  EXPECT_EQ(CutAtWidth("ab中文", 6), "ab中文");
  EXPECT_EQ(CutAtWidth("", 100), "");
}

TEST(TextConversion, OneByteOrderMarkRuleAndWtf8OnlyWhenAsked) {
  EXPECT_EQ(StripUtf8Bom(std::string_view("\xEF\xBB\xBFkey=1")), "key=1");
  EXPECT_EQ(StripUtf8Bom(std::string_view("key=\xEF\xBB\xBF")), "key=\xEF\xBB\xBF");
  std::string twice = "\xEF\xBB\xBF\xEF\xBB\xBFx";
  StripUtf8Bom(&twice);  // only the first mark is the file's
  EXPECT_EQ(twice, "\xEF\xBB\xBFx");

  const unsigned char lone[] = {0xED, 0xA0, 0x80};
  EXPECT_EQ(Utf8SequenceLength(lone, lone + 3), 0);
  EXPECT_EQ(Utf8SequenceLength(lone, lone + 3, /*allow_surrogates=*/true), 3);
  const unsigned char above[] = {0xF4, 0x90, 0x80, 0x80};
  EXPECT_EQ(Utf8SequenceLength(above, above + 4, true), 0);
  std::size_t at = 0;
  EXPECT_EQ(DecodeUtf8("\xF0\x9F\x98\x80!", &at), 0x1F600);
  EXPECT_EQ(at, 4u);
}

}  // namespace
}  // namespace tarn
