#include "check/stylesheet_fonts.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(StylesheetFonts, TakesTheFirstSourceOfEachFontFace) {
  struct Case {
    const char* css;
    std::vector<std::string> fonts;
  } cases[] = {
      {"body{background:url(bg.png)}", {}},
      {"@font-face{font-family:A;src:url(fonts/A.woff2) format(\"woff2\"),url(fonts/A.woff) "
       "format(\"woff\")}@font-face{font-family:B;src: url( 'B.ttf' )}",
       {"fonts/A.woff2", "B.ttf"}},
      {"@font-face{font-family:C;src:local(C)}", {}},
      {"@font-face{src:url(\"unclosed", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(StylesheetFonts::Of(c.css), c.fonts) << c.css;
}

}  // namespace
}  // namespace tarn
