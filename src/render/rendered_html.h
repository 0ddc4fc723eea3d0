// RenderedHtml: reading back the HTML of a post whose code was highlighted
// (highlight.js) and whose formulas were typeset (KaTeX) while converting,
// as a theme's "render" setting asks: the formulas that did not parse, and
// the post's text for the search index, which should hold the code and the
// TeX as the post has them rather than the markup around them.
//
// Thread safety: stateless; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class RenderedHtml {
 public:
  // Why each formula KaTeX could not read failed, in the order of the page
  // (KaTeX shows such a formula as its source in <span class="katex-error"
  // title="ParseError: REASON">); empty when every formula parsed.
  static std::vector<std::string> FormulaErrors(std::string_view html);

  // html with the markup of rendering taken out: the spans inside a
  // highlighted <code class="hljs ..."> element (its text stays), and each
  // typeset formula replaced by its TeX source, escaped for HTML. HTML
  // without either comes back unchanged.
  static std::string Unrendered(std::string_view html);
};

}  // namespace tarn
