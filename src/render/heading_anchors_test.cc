#include "render/heading_anchors.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(HeadingAnchorsTest, IdsAreUniqueAndTheTocNests) {
  std::string toc;
  std::string html = HeadingAnchors::Add(
      "<h2>Intro &amp; Setup</h2><p>x</p><h3>Step <code>one</code></h3><h3>中文 标题</h3>"
      "<h2>Intro &amp; setup</h2><h1>!!</h1><h2 id=\"own\">Own</h2><hr><h4>Deep",
      &toc);
  EXPECT_EQ(
      html,
      "<h2 id=\"intro-setup\">Intro &amp; Setup</h2><p>x</p><h3 id=\"step-one\">Step "
      "<code>one</code></h3><h3 id=\"中文-标题\">中文 标题</h3><h2 id=\"intro-setup-1\">Intro "
      "&amp; setup</h2><h1 id=\"section\">!!</h1><h2 id=\"own\">Own</h2><hr><h4>Deep");
  EXPECT_EQ(toc,
            "<ul><li><a href=\"#intro-setup\">Intro &amp; Setup</a><ul><li><a href=\"#step-one\">"
            "Step one</a></li><li><a href=\"#中文-标题\">中文 标题</a></li></ul></li><li><a "
            "href=\"#intro-setup-1\">Intro &amp; setup</a></li><li><a href=\"#section\">!!</a>"
            "</li><li><a href=\"#own\">Own</a></li></ul>");
  HeadingAnchors::Add("<h2>Only</h2>", &toc);
  EXPECT_EQ(toc, "");  // one heading makes no table of contents
}

TEST(HeadingAnchorsTest, ATypesetFormulaCountsAsItsTex) {
  std::string toc;
  std::string html = HeadingAnchors::Add(
      "<h2>The <span class=\"math inline\"><span class=\"katex\"><span class=\"katex-mathml\">"
      "<math><semantics><mrow><msup><mi>x</mi><mn>2</mn></msup></mrow><annotation "
      "encoding=\"application/x-tex\">x^2</annotation></semantics></math></span><span "
      "class=\"katex-html\" aria-hidden=\"true\"><span>x</span><span>2</span></span></span>"
      "</span> rule</h2><h2>Next</h2>",
      &toc);
  EXPECT_EQ(html.rfind("<h2 id=\"the-x-2-rule\">", 0), 0u) << html;
  EXPECT_EQ(toc.rfind("<ul><li><a href=\"#the-x-2-rule\">The x^2 rule</a>", 0), 0u) << toc;
}

// A later heading takes the first suffix no earlier one has, whatever
// ids the earlier ones took.
TEST(HeadingAnchorsTest, RepeatedHeadingsTakeTheFirstFreeSuffix) {
  std::string toc;
  EXPECT_EQ(HeadingAnchors::Add("<h2>X 2</h2><h2>X</h2><h2>X</h2><h2>X</h2><h2>X 1</h2>", &toc),
            "<h2 id=\"x-2\">X 2</h2><h2 id=\"x\">X</h2><h2 id=\"x-1\">X</h2><h2 id=\"x-3\">X</h2>"
            "<h2 id=\"x-1-1\">X 1</h2>");
}

// A heading's own id enters the table of contents and is taken before
// any id is made, even by an earlier heading; other attributes leave a
// heading alone.
TEST(HeadingAnchorsTest, OwnIdsAreKeptAndTaken) {
  std::string toc;
  EXPECT_EQ(HeadingAnchors::Add("<h2>Mine</h2><h2 class=\"c\" id=\"mine\">Own</h2>"
                                "<h3 class=\"c\">Classed</h3><h2>Mine</h2>",
                                &toc),
            "<h2 id=\"mine-1\">Mine</h2><h2 class=\"c\" id=\"mine\">Own</h2>"
            "<h3 class=\"c\">Classed</h3><h2 id=\"mine-2\">Mine</h2>");
  EXPECT_EQ(toc,
            "<ul><li><a href=\"#mine-1\">Mine</a></li><li><a href=\"#mine\">Own</a></li>"
            "<li><a href=\"#mine-2\">Mine</a></li></ul>");
}

// A heading written inside another's text is part of that text: it gets
// no id, yet an id of its own is taken; a heading never closed is left
// alone and the next one is found.
TEST(HeadingAnchorsTest, HeadingsInsideHeadingsAreText) {
  const struct {
    std::string_view html;
    std::string_view anchored;
    std::string_view toc;
  } kCases[] = {
      {"<h2>A <h3>B</h3> C</h2><h3>D</h3>",
       "<h2 id=\"a-b-c\">A <h3>B</h3> C</h2><h3 id=\"d\">D</h3>",
       "<ul><li><a href=\"#a-b-c\">A B C</a><ul><li><a href=\"#d\">D</a></li></ul></li></ul>"},
      {"<h2>A <h3 id=\"b\">B</h3></h2><h2>B</h2>",
       "<h2 id=\"a-b\">A <h3 id=\"b\">B</h3></h2><h2 id=\"b-1\">B</h2>",
       "<ul><li><a href=\"#a-b\">A B</a></li><li><a href=\"#b-1\">B</a></li></ul>"},
      {"<h4>X<h2>Y</h2>", "<h4>X<h2 id=\"y\">Y</h2>", "<ul><li><a href=\"#y\">Y</a></li></ul>"},
  };
  for (const auto& c : kCases) {
    std::string toc;
    EXPECT_EQ(HeadingAnchors::Add(c.html, &toc, 1), c.anchored) << c.html;
    EXPECT_EQ(toc, c.toc) << c.html;
  }
}

}  // namespace
}  // namespace tarn
