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

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarn {

class HeadingAnchors {
 public:
  // What Add makes of an article: the ids it gives headings, each with
  // where in the HTML it goes (ascending), and the table of contents.
  struct Anchors {
    std::vector<std::pair<std::size_t, std::string>> ids;
    std::string toc;
  };

  // html with ids on its headings; *toc gets them as nested <ul> lists of
  // links ("" when there are fewer than min_headings).
  static std::string Add(std::string_view html, std::string* toc, int min_headings = 2);

  // Add in two halves: finding the anchors costs, inserting them is a
  // copy. Insert returns html with anchors.ids inserted, as Add would
  // from the same html; the caller sees to it that every position is
  // within html and none is before the one ahead of it.
  static Anchors Find(std::string_view html, int min_headings = 2);
  static std::string Insert(std::string_view html, const Anchors& anchors);

  static std::string IdOf(std::string_view text);
};

}  // namespace tarn
