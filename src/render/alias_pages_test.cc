#include "render/alias_pages.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(AliasPagesTest, NoAliasReachesTheDeployRepository) {
  for (const char* alias : {"/.git/hooks/x.html", "/blog/.GIT/config/", "/%2Egit/HEAD/"}) {
    std::string why;
    EXPECT_EQ(AliasPages::OutputOf(alias, &why), "") << alias;
    EXPECT_EQ(why, "would write into public/.git, the deploy repository") << alias;
  }
  std::string why;
  EXPECT_EQ(AliasPages::OutputOf("/.github/x/", &why), ".github/x/index.html");
}

}  // namespace
}  // namespace tarn
