// HeadingAnchors: ids on an article's headings, so that "#section" links
// work, and the table of contents they make.
//
// Headings are the converter's plain <h1> ... <h6> elements, and headings
// with an id of their own ("## Title {#my-id}", or raw HTML), which keep
// it and enter the table of contents by it; a heading with other
// attributes but no id is left alone. An id made for a heading is its
// text in lower case, runs of spaces and punctuation made one "-", letters
// of any script kept; "section" when nothing is left; a heading whose id
// is taken (by an earlier heading, or any heading's own) gets "-1", "-2",
// ... A formula the build typeset counts as its TeX
// (RenderedHtml::Unrendered), not as KaTeX's markup.
//
// Thread safety: the functions keep no state.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

class HeadingAnchors {
 public:
  // html with ids on its headings; *toc gets them as nested <ul> lists of
  // links ("" when there are fewer than min_headings).
  static std::string Add(std::string_view html, std::string* toc, int min_headings = 2);

  static std::string IdOf(std::string_view text);
};

}  // namespace tarn
