#include "render/rendered_html.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn {
namespace {

// KaTeX's output for $x<1$ (inline) and $$a$$ (display), as the converter
// page writes it.
constexpr char kInline[] =
    "<span class=\"math inline\"><span class=\"katex\"><span class=\"katex-mathml\"><math "
    "xmlns=\"http://www.w3.org/1998/Math/MathML\"><semantics><mrow><mi>x</mi><mo>&lt;</mo><mn>1</"
    "mn></mrow><annotation encoding=\"application/x-tex\">x&lt;1</annotation></semantics></math></"
    "span><span class=\"katex-html\" aria-hidden=\"true\"><span class=\"katex-base\"><span "
    "class=\"katex-strut\" style=\"height:0.5782em;\"></span><span class=\"mord "
    "mathnormal\">x</span><span class=\"mrel\">&lt;</span></span><span class=\"katex-base\"><span "
    "class=\"mord\">1</span></span></span></span></span>";
constexpr char kDisplay[] =
    "<div class=\"math display\"><span class=\"katex-display\"><span class=\"katex\"><span "
    "class=\"katex-mathml\"><math xmlns=\"http://www.w3.org/1998/Math/MathML\" "
    "display=\"block\"><semantics><mrow><mi>a</mi></mrow><annotation "
    "encoding=\"application/x-tex\">a</annotation></semantics></math></span><span "
    "class=\"katex-html\" aria-hidden=\"true\"><span class=\"katex-base\"><span class=\"mord "
    "mathnormal\">a</span></span></span></span></span></div>\n";
constexpr char kError[] =
    "<span class=\"katex-error\" title=\"ParseError: KaTeX parse error: Expected &#x27;}&#x27; "
    "at &quot;&lt;&amp;&gt;&quot;\" style=\"color:#cc0000\">\\frac{a}{</span>";

TEST(RenderedHtmlTest, UnrenderedKeepsTheTextOfCodeAndTheTexOfFormulas) {
  const struct {
    std::string html;
    std::string expected;
  } cases[] = {
      {"<p>Plain <span>$</span>5 and <code>x</code></p>\n",
       "<p>Plain <span>$</span>5 and <code>x</code></p>\n"},
      {"<pre><code class=\"hljs language-cpp\"><span class=\"hljs-meta\">#<span "
       "class=\"hljs-keyword\">include</span> &lt;a&gt;</span>\nint</code></pre>\n<p>after</p>",
       "<pre><code class=\"hljs language-cpp\">#include &lt;a&gt;\nint</code></pre>\n<p>after</p>"},
      {"<pre><code class=\"language-text\"><span>kept</span></code></pre>",
       "<pre><code class=\"language-text\"><span>kept</span></code></pre>"},
      {std::string("<p>If ") + kInline + " then</p>",
       "<p>If <span class=\"math inline\">x&lt;1</span> then</p>"},
      {std::string(kDisplay) + "<p>next</p>", "<div class=\"math display\">a</div>\n<p>next</p>"},
      {std::string("<p>") + kError + "</p>", std::string("<p>") + kError + "</p>"},
      {"<span class=\"katex\"><span>cut short", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(RenderedHtml::Unrendered(c.html), c.expected) << c.html;
}

TEST(RenderedHtmlTest, FormulaErrorsGivesEachReasonAsText) {
  EXPECT_EQ(RenderedHtml::FormulaErrors(std::string("<p>") + kInline + kDisplay + "</p>"),
            std::vector<std::string>{});
  EXPECT_EQ(RenderedHtml::FormulaErrors(std::string(kError) + kInline + kError),
            (std::vector<std::string>{"KaTeX parse error: Expected '}' at \"<&>\"",
                                      "KaTeX parse error: Expected '}' at \"<&>\""}));
}

}  // namespace
}  // namespace tarn
