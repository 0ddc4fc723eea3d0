#include "render/alias_pages.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(AliasPagesTest, OutputsStayInsidePublicAndOutOfGit) {
  struct Case {
    const char* alias;
    const char* output;  // "" when refused
  };
  const Case cases[] = {
      {"/2019/03/05/hello/", "2019/03/05/hello/index.html"},
      {"/posts/hello.html", "posts/hello.html"},
      {"/robots.txt", "robots.txt/index.html"},
      {"/a%20b/", "a b/index.html"},
      {"/", "index.html"},
      {"/../x/", ""},
      {"/a/%2E%2E/b.html", ""},
      {"/x?y=1", ""},
      {"/.git/hooks/x.html", ""},
      {"/blog/.GIT/config/", ""},
      {"/.github/x.html", ".github/x.html"},
  };
  for (const Case& c : cases) {
    std::string why;
    EXPECT_EQ(AliasPages::OutputOf(c.alias, &why), c.output) << c.alias;
    EXPECT_EQ(why.empty(), *c.output != '\0') << c.alias << ": " << why;
  }
}

}  // namespace
}  // namespace tarn
