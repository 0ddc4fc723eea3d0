#include "render/markdown_pages.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(MarkdownPagesTest, APageGoesToItsNameOrItsPermalinkInsidePublic) {
  struct Case {
    const char* slug;
    const char* permalink;
    const char* output;  // "" when refused
  } cases[] = {
      {"about", "", "about/index.html"},
      {"my cv", "", "my cv/index.html"},
      {"about", "/me.html", "me.html"},
      {"about", "/work/me/", "work/me/index.html"},
      {"about", "me", "me/index.html"},
      {"about", "/a/%2E%2E/../x.html", ""},
      {"about", "/.git/x.html", ""},
      {"about", "/x.html?y", ""},
      {"..", "", ""},
  };
  for (const Case& c : cases) {
    std::string why;
    EXPECT_EQ(MarkdownPages::OutputOf(c.slug, c.permalink, &why), c.output)
        << c.slug << " " << c.permalink;
    EXPECT_EQ(why.empty(), *c.output != '\0') << why;
  }
}

TEST(MarkdownPagesTest, LinksOutOfTheArticlesFolderStartFromThePagesRoot) {
  struct Case {
    const char* root;
    const char* html;
    const char* rebased;
  } cases[] = {
      {".", "<img src=\"../images/a.png\">", "<img src=\"./images/a.png\">"},
      {"../..", "<a href=\"../articles/b.html\">b</a> <a href=\"../x\">",
       "<a href=\"../../articles/b.html\">b</a> <a href=\"../../x\">"},
      // Other links, and text that only looks like one, stay.
      {".", "<a href=\"./x\"><a href=\"https://e.org/../x\"><a href=\"x/../y\">",
       "<a href=\"./x\"><a href=\"https://e.org/../x\"><a href=\"x/../y\">"},
      {".", "<code>href=&quot;../x&quot;</code> href=../x",
       "<code>href=&quot;../x&quot;</code> href=../x"},
      {"..", "", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MarkdownPages::RebaseLinks(c.html, c.root), c.rebased) << c.html;
}

}  // namespace
}  // namespace tarn
