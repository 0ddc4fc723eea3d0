#include "render/rendered_html.h"

#include <utility>

namespace tarn {
namespace {

constexpr std::string_view kErrorMark = "<span class=\"katex-error\" title=\"";
constexpr std::string_view kCodeMark = "<code class=\"hljs";
// A typeset formula, display or inline, starts with one of these; the
// display one holds an inline one.
constexpr std::string_view kFormulaMarks[] = {"<span class=\"katex-display\">",
                                              "<span class=\"katex\">"};
constexpr std::string_view kTexOpen = "<annotation encoding=\"application/x-tex\">";
constexpr std::string_view kTexClose = "</annotation>";

// The text of an attribute value KaTeX escaped (& < > " ').
std::string Unescape(std::string_view value) {
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#x27;", '\''}};
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    char plain = value[i];
    for (const auto& [entity, character] : kEntities) {
      if (value.substr(i, entity.size()) != entity) continue;
      plain = character;
      i += entity.size() - 1;
      break;
    }
    out += plain;
  }
  return out;
}

// Where the span element opened at `at` ends (just past its "</span>"),
// counting the spans inside it; html.size() when it never closes.
std::size_t SpanEnd(std::string_view html, std::size_t at) {
  int depth = 0;
  for (std::size_t pos = at; pos < html.size();) {
    std::size_t open = html.find("<span", pos);
    std::size_t close = html.find("</span>", pos);
    if (close == std::string_view::npos) return html.size();
    if (open < close) {
      ++depth;
      pos = open + 5;
      continue;
    }
    if (--depth == 0) return close + 7;
    pos = close + 7;
  }
  return html.size();
}

// Appends the highlighted code element starting at `at` without its spans
// and returns where it ends.
std::size_t AppendCodeText(std::string_view html, std::size_t at, std::string* out) {
  std::size_t end = html.find("</code>", at);
  if (end == std::string_view::npos) end = html.size();
  std::size_t tag_end = html.find('>', at);
  out->append(html.substr(at, tag_end + 1 - at));
  for (std::size_t pos = tag_end + 1; pos < end;) {
    std::size_t tag = html.find('<', pos);
    if (tag == std::string_view::npos || tag >= end) tag = end;
    out->append(html.substr(pos, tag - pos));
    if (tag == end) break;
    std::size_t close = html.find('>', tag);
    pos = close == std::string_view::npos ? end : close + 1;
  }
  return end;
}

// The formula mark at `at`, if any.
std::string_view FormulaMarkAt(std::string_view html, std::size_t at) {
  for (std::string_view mark : kFormulaMarks)
    if (html.substr(at, mark.size()) == mark) return mark;
  return {};
}

}  // namespace

std::vector<std::string> RenderedHtml::FormulaErrors(std::string_view html) {
  std::vector<std::string> reasons;
  for (std::size_t at = html.find(kErrorMark); at != std::string_view::npos;
       at = html.find(kErrorMark, at + 1)) {
    std::size_t start = at + kErrorMark.size();
    std::string reason = Unescape(html.substr(start, html.find('"', start) - start));
    if (reason.rfind("ParseError: ", 0) == 0) reason.erase(0, 12);
    reasons.push_back(std::move(reason));
  }
  return reasons;
}

std::string RenderedHtml::Unrendered(std::string_view html) {
  std::string out;
  out.reserve(html.size());
  std::size_t done = 0;
  for (std::size_t at = html.find('<'); at != std::string_view::npos; at = html.find('<', at)) {
    std::size_t end;
    if (html.substr(at, kCodeMark.size()) == kCodeMark) {
      out.append(html.substr(done, at - done));
      end = AppendCodeText(html, at, &out);
    } else if (!FormulaMarkAt(html, at).empty()) {
      out.append(html.substr(done, at - done));
      end = SpanEnd(html, at);
      std::size_t tex = html.find(kTexOpen, at);
      if (tex < end) {
        tex += kTexOpen.size();
        out.append(html.substr(tex, html.find(kTexClose, tex) - tex));
      }
    } else {
      ++at;
      continue;
    }
    done = at = end;
  }
  out.append(html.substr(done));
  return out;
}

}  // namespace tarn
