#include "render/heading_anchors.h"

#include <cctype>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "data/markup_escape.h"
#include "render/rendered_html.h"
#include "render/search_index.h"

namespace tarn {
namespace {

// What goes after "<hN" in a heading's tag, before its id and a '"'.
constexpr std::string_view kIdAttribute = " id=\"";

struct Heading {
  int level;
  std::string id;
  std::string text;
  size_t at;  // where its id goes in the HTML: at the '>' of "<hN>"; npos
              // for a heading with an id of its own
};

// A heading's opening tag: "<hN>", or "<hN ...>" with attributes.
struct Tag {
  size_t end;      // just after its '>'
  std::string id;  // its own id attribute, as written; "" when it has none
};

// The heading tag at at: a plain one, or one with an id attribute;
// nullopt for any other tag (a heading with attributes but no id is left
// alone).
std::optional<Tag> TagAt(std::string_view html, size_t at) {
  if (at + 3 >= html.size() || html[at + 2] < '1' || html[at + 2] > '6') return std::nullopt;
  if (html[at + 3] == '>') return Tag{at + 4, ""};
  if (html[at + 3] != ' ') return std::nullopt;
  const size_t close = html.find('>', at + 3);
  if (close == std::string_view::npos) return std::nullopt;
  const std::string_view attributes = html.substr(at + 3, close - at - 3);
  const size_t id = attributes.find(kIdAttribute);
  if (id == std::string_view::npos) return std::nullopt;
  const size_t value = id + kIdAttribute.size();
  const size_t quote = attributes.find('"', value);
  if (quote == std::string_view::npos || quote == value) return std::nullopt;
  return Tag{close + 1, std::string(attributes.substr(value, quote - value))};
}

std::string TableOfContents(const std::vector<Heading>& headings) {
  std::string toc;
  std::vector<int> open;  // levels of the lists left open
  for (const Heading& h : headings) {
    if (open.empty() || h.level > open.back()) {
      toc += "<ul>";
      open.push_back(h.level);
    } else {
      while (open.size() > 1 && h.level < open.back()) {
        toc += "</li></ul>";
        open.pop_back();
      }
      toc += "</li>";
    }
    toc += "<li><a href=\"#";
    toc += h.id;
    toc += "\">";
    toc += EscapeMarkup(h.text, MarkupSlot::kText);
    toc += "</a>";
  }
  for (size_t i = 0; i < open.size(); ++i) toc += "</li></ul>";
  return toc;
}

}  // namespace

std::string HeadingAnchors::IdOf(std::string_view text) {
  std::string id;
  bool dash = false;
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (std::isalnum(c) || c >= 0x80 || c == '_') {
      if (dash && !id.empty()) id.push_back('-');
      dash = false;
      id.push_back(static_cast<char>(std::tolower(c)));
    } else {
      dash = true;
    }
  }
  return id.empty() ? "section" : id;
}

std::string HeadingAnchors::Add(std::string_view html, std::string* toc, int min_headings) {
  Anchors anchors = Find(html, min_headings);
  *toc = std::move(anchors.toc);
  return Insert(html, anchors);
}

HeadingAnchors::Anchors HeadingAnchors::Find(std::string_view html, int min_headings) {
  std::vector<Heading> headings;
  // Every heading tag, found in one pass; their own ids are taken before
  // any is made.
  std::vector<std::pair<size_t, Tag>> tags;
  std::set<std::string> used;
  for (size_t at = html.find("<h"); at != std::string_view::npos; at = html.find("<h", at + 1)) {
    if (std::optional<Tag> tag = TagAt(html, at)) {
      if (!tag->id.empty()) used.insert(tag->id);
      tags.emplace_back(at, std::move(*tag));
    }
  }
  // Per id, the suffix to try next: every one below it is taken, so a
  // thousand headings of one name cost a thousand tries, not half a million.
  std::map<std::string, int> next;
  size_t resume = 0;  // a heading inside another's text is that text
  for (const auto& [at, tag] : tags) {
    if (at < resume) continue;
    const char close[] = {'<', '/', 'h', html[at + 2], '>', '\0'};
    size_t end = html.find(close, tag.end);
    if (end == std::string_view::npos) continue;
    resume = end + 1;
    std::string text =
        SearchIndex::PlainText(RenderedHtml::Unrendered(html.substr(tag.end, end - tag.end)), 200);
    std::string id = tag.id;
    if (id.empty()) {
      std::string base = IdOf(text);
      int& n = next[base];
      id = n == 0 ? base : base + "-" + std::to_string(n);
      for (; !used.insert(id).second; id = base + "-" + std::to_string(n)) ++n;
      ++n;
    }
    const size_t id_at = tag.id.empty() ? at + 3 : std::string_view::npos;
    headings.push_back(Heading{html[at + 2] - '0', std::move(id), std::move(text), id_at});
  }
  Anchors anchors;
  anchors.toc = static_cast<int>(headings.size()) >= min_headings ? TableOfContents(headings) : "";
  for (Heading& h : headings)
    if (h.at != std::string_view::npos) anchors.ids.emplace_back(h.at, std::move(h.id));
  return anchors;
}

std::string HeadingAnchors::Insert(std::string_view html, const Anchors& anchors) {
  size_t added = 0;
  for (const auto& [at, id] : anchors.ids) added += kIdAttribute.size() + id.size() + 1;
  // Sized once: an article can be tens of megabytes.
  std::string out;
  out.reserve(html.size() + added);
  size_t done = 0;
  for (const auto& [at, id] : anchors.ids) {
    out.append(html.substr(done, at - done));
    out.append(kIdAttribute);
    out.append(id);
    out.push_back('"');
    done = at;
  }
  out.append(html.substr(done));
  return out;
}

}  // namespace tarn
