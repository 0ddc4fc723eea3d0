#include "content/post_summary.h"

#include <gtest/gtest.h>

#include <string>

namespace tarn {
namespace {

std::string Words(int n, const std::string& word = "w") {
  std::string out;
  for (int i = 0; i < n; ++i) out += (i ? " " : "") + word;
  return out;
}

TEST(PostSummaryTest, FirstParagraphCutAfterSeventyWords) {
  const struct {
    std::string html;
    std::string summary;
  } cases[] = {
      {"<h2>T</h2>\n<p>One <em>two</em>.</p>\n<p>Next.</p>\n", "<p>One <em>two</em>.</p>"},
      {"<pre><code>x</code></pre>\n", ""},
      {"<p>" + Words(70) + "</p>", "<p>" + Words(70) + "</p>"},
      {"<p>" + Words(71) + "</p>", "<p>" + Words(70) + "…</p>"},
      // The cut closes what is open; a tag between words is no word.
      {"<p><strong>" + Words(69) + " <a href=\"x\">in <code>c</code></a></strong></p>",
       "<p><strong>" + Words(69) + " <a href=\"x\">in…</a></strong></p>"},
      {"<p>" + Words(70) + "<br>\nmore</p>", "<p>" + Words(70) + "…</p>"},
      // Each CJK character is a word.
      {"<p>" + Words(71, "湖") + "</p>", "<p>" + Words(70, "湖") + "…</p>"},
      {"<p>" + std::string(105, 'a') + "</p>", "<p>" + std::string(105, 'a') + "</p>"},
  };
  for (const auto& c : cases) EXPECT_EQ(PostSummary::Of(c.html), c.summary) << c.html;
}

}  // namespace
}  // namespace tarn
