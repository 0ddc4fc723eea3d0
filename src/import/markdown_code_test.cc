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
      // Indented code: after a blank line, a heading or a block, to the
      // last indented line; a tab is four columns.
      {"Text\n\n    a `b`\n\n    c\n\nAfter `d`\n", {"    a `b`\n\n    c\n", "`d`"}},
      {"\tfirst\n# H\n    code\n", {"\tfirst\n", "    code\n"}},
      {"```\nx\n```\n    code\n", {"```\nx\n```\n", "    code\n"}},
      // A paragraph's indented line is its text.
      {"Text\n    more `e`\n", {"`e`"}},
      // In a list item, four columns more than its text; the list ends at
      // a paragraph less indented than its text.
      {"- item\n\n    more\n\n      code\n", {"      code\n"}},
      {"1. one\n\n     more\n\n  * two\n\n    more\n", {}},
      {"- item\n\nAfter\n\n    code\n", {"    code\n"}},
      {"* * *\n\n    code\n", {"    code\n"}},
      // A list item's fence stands as far in as its text, and three more.
      {"1. one\n\n    ```\n    `x`\n    ```\n", {"    ```\n    `x`\n    ```\n"}},
  };
  for (const auto& [markdown, code] : cases) EXPECT_EQ(Code(markdown), code) << markdown;
}

TEST(MarkdownCodeTest, FencesOutgrowTheCodesBackticks) {
  EXPECT_EQ(MarkdownCode::FenceFor("a"), "```");
  EXPECT_EQ(MarkdownCode::FenceFor("`` ```` `"), "`````");
}

}  // namespace
}  // namespace tarn
