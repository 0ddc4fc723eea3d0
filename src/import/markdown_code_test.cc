#include "import/markdown_code.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

// The text of markdown's code ranges.
std::vector<std::string> Code(const std::string& markdown) {
  std::vector<std::string> code;
  for (const auto& [begin, end] : MarkdownCode::Find(markdown)) {
    code.push_back(markdown.substr(begin, end - begin));
  }
  return code;
}

TEST(MarkdownCodeTest, FindsFrontMatterFencesAndSpans) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"+++\nx = 1\n+++\nA `b` c\n", {"+++\nx = 1\n+++\n", "`b`"}},
      // A closing fence is of the same kind and at least as long.
      {"````\n```\n~~~\n````\nafter `x`", {"````\n```\n~~~\n````\n", "`x`"}},
      {"  ~~~ js\nopen to the end\n", {"  ~~~ js\nopen to the end\n"}},
      // A run of backticks closes on a run of the same length only.
      {"``a ` b`` `unclosed ``c``", {"``a ` b``", "``c``"}},
      {"---\nno end of front matter\n", {}},
  };
  for (const auto& [markdown, code] : cases) EXPECT_EQ(Code(markdown), code) << markdown;
}

TEST(MarkdownCodeTest, FencesOutgrowTheCodesBackticks) {
  EXPECT_EQ(MarkdownCode::FenceFor("a"), "```");
  EXPECT_EQ(MarkdownCode::FenceFor("`` ```` `"), "`````");
}

}  // namespace
}  // namespace tarn
