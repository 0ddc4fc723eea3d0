#include "script/page_scripts.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(PageScriptsTest, FindsScriptsInDocumentOrderWithAnyMarkupStyle) {
  std::vector<PageScript> scripts = ExtractPageScripts(
      "<!doctype html><html><head>\n"
      "<SCRIPT SRC='vendor/a.js?v=1&amp;x=2'></SCRIPT >\n"
      "<script src=b.js defer></script>\n"
      "<Script type=\"text/javascript\">one()</sCrIpT>\n"
      "<script\tsrc=\"c.js\" async/>two()</script>\n"
      "</head></html>");
  ASSERT_EQ(scripts.size(), 4u);
  EXPECT_TRUE(scripts[0].has_src);
  EXPECT_EQ(scripts[0].src, "vendor/a.js?v=1&x=2");
  EXPECT_EQ(scripts[0].tag_line, 2);
  EXPECT_TRUE(scripts[1].defer);
  EXPECT_EQ(scripts[1].src, "b.js");
  EXPECT_FALSE(scripts[2].has_src);
  EXPECT_EQ(scripts[2].text, "one()");
  EXPECT_EQ(scripts[2].kind, PageScript::kClassic);
  // A "/>" does not close a script element: its text runs to </script>.
  EXPECT_TRUE(scripts[3].async);
  EXPECT_EQ(scripts[3].text, "two()");
}

TEST(PageScriptsTest, SkipsCommentsRawTextAndTemplates) {
  std::vector<PageScript> scripts = ExtractPageScripts(
      "<!-- <script>commented()</script> -->\n"
      "<textarea><script>shown()</script></textarea>\n"
      "<style>p::after { content: '<script>' }</style>\n"
      "<template><div><script>inert()</script></div></template>\n"
      "<title>a < b</title>\n"
      "<script>real()</script>");
  ASSERT_EQ(scripts.size(), 1u);
  EXPECT_EQ(scripts[0].text, "real()");
  EXPECT_EQ(scripts[0].tag_line, 6);
}

TEST(PageScriptsTest, ScriptTextIsKeptVerbatimAndEndsWhereABrowserEndsIt) {
  std::vector<PageScript> scripts = ExtractPageScripts(
      "<script>var s = '&amp; <b>' + \"</scripty>\";</script>"
      "<script>var t = '<!-- <script>x()</script> -->';</script>"
      "<script>var u = '</SCRIPT>';</script>");
  ASSERT_EQ(scripts.size(), 3u);
  EXPECT_EQ(scripts[0].text, "var s = '&amp; <b>' + \"</scripty>\";");
  // Inside "<!--", an inner <script>...</script> pair does not end the element.
  EXPECT_EQ(scripts[1].text, "var t = '<!-- <script>x()</script> -->';");
  // Outside it, any "</script" does, even inside a string literal.
  EXPECT_EQ(scripts[2].text, "var u = '");
}

TEST(PageScriptsTest, ClassifiesTypesAsABrowserDoes) {
  std::vector<PageScript> scripts = ExtractPageScripts(
      "<script type=''>a</script>"
      "<script type=' TEXT/JavaScript '>b</script>"
      "<script language=javascript>c</script>"
      "<script type=application/x-javascript>d</script>"
      "<script type=text/template><p>{$x}</p></script>"
      "<script type=application/json>{}</script>"
      "<script type=module>import x from './x.js'</script>"
      "<script type=importmap>{}</script>"
      "<script language=vbscript>e</script>"
      "<script type='text/javascript; charset=utf-8'>f</script>");
  std::vector<PageScript::Kind> kinds;
  for (const auto& s : scripts) kinds.push_back(s.kind);
  EXPECT_EQ(kinds,
            (std::vector<PageScript::Kind>{
                PageScript::kClassic, PageScript::kClassic, PageScript::kClassic,
                PageScript::kClassic, PageScript::kData, PageScript::kData, PageScript::kModule,
                PageScript::kImportMap, PageScript::kData, PageScript::kData}));
}

TEST(PageScriptsTest, CountsLinesWithAnyLineEndAndFlagsUnterminatedScripts) {
  std::vector<PageScript> scripts =
      ExtractPageScripts("a\r\nb\rc\n<script>\nx()</script>\n\n<script>never closed");
  ASSERT_EQ(scripts.size(), 2u);
  EXPECT_EQ(scripts[0].tag_line, 4);
  EXPECT_EQ(scripts[0].text_line, 4);  // the text starts with the line break after the tag
  EXPECT_EQ(scripts[1].tag_line, 7);
  EXPECT_EQ(scripts[1].kind, PageScript::kUnterminated);
}

}  // namespace
}  // namespace tarn
