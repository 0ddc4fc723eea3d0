#include "script/jsc_support.h"

#include <gtest/gtest.h>

#include <string>

namespace tarn {
namespace {

std::string RoundTrip(const std::string& utf8) {
  JSStringRef s = NewJsString(utf8);
  std::string back = JsStringToUtf8(s);
  JSStringRelease(s);
  return back;
}

TEST(JscSupportTest, TextComesBackAsItWentInAndNoLarger) {
  // One, two, three and four bytes a character, and a NUL.
  const std::string mixed =
      std::string("a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80", 10) + std::string(1, '\0') + "z";
  EXPECT_EQ(RoundTrip(mixed), mixed);
  EXPECT_EQ(RoundTrip(""), "");

  // A converted post holds no room beyond its text: a page of several
  // hundred megabytes must not hold three times that for good.
  std::string page(8 * 1024 * 1024, 'x');
  std::string back = RoundTrip(page);
  EXPECT_EQ(back.size(), page.size());
  EXPECT_LT(back.capacity(), page.size() + page.size() / 8);
}

TEST(JscSupportTest, UnpairedSurrogatesBecomeReplacementCharacters) {
  const JSChar lone[] = {0xD83D, 'a', 0xDE00};
  JSStringRef s = JSStringCreateWithCharacters(lone, 3);
  EXPECT_EQ(JsStringToUtf8(s),
            "\xEF\xBF\xBD"
            "a\xEF\xBF\xBD");
  JSStringRelease(s);
}

}  // namespace
}  // namespace tarn
