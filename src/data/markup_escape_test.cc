#include "data/markup_escape.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(MarkupEscapeTest, EachSlotEscapesWhatCanEndItAndNothingElse) {
  const std::string text = "a&b<c>d\"e'f 中\t";
  EXPECT_EQ(EscapeMarkup(text, MarkupSlot::kText), "a&amp;b&lt;c&gt;d\"e'f 中\t");
  EXPECT_EQ(EscapeMarkup(text, MarkupSlot::kAttribute), "a&amp;b&lt;c&gt;d&quot;e'f 中\t");
  EXPECT_EQ(EscapeMarkup(text, MarkupSlot::kXml), "a&amp;b&lt;c&gt;d&quot;e&apos;f 中\t");
  // Escaping twice escapes the references themselves: callers escape once.
  EXPECT_EQ(EscapeMarkup("&amp;", MarkupSlot::kText), "&amp;amp;");
  EXPECT_EQ(EscapeMarkup("", MarkupSlot::kXml), "");
}

}  // namespace
}  // namespace tarn
