// FeedBuilder: the site's RSS 2.0 feed (public/atom.xml) from the site data.
//
// The feed is two fixed templates, a channel and one item per post, filled
// from the site's settings and the posts as the post index records them
// (title, content, absolute_url, author, update_time; in the index's
// order), and then given one more pass that expands every `{$name}` still
// in it against the site data, so a placeholder written in a post title or
// in the first lines of a post shows the site value it names.
//
// Whatever the posts and the configuration hold, the result is well-formed
// XML: values inside CDATA sections have "]]>" split across two sections,
// values in element text and attributes are escaped, characters XML 1.0
// does not allow (control characters, invalid UTF-8) are dropped or
// replaced, and the 100-byte description never cuts a character in two.
// Dates are RFC 822 dates in UTC, the form feed readers parse.
//
// Thread safety: the functions are pure apart from reading the process's
// time zone (localtime rules) in FormatFeedDate; Write runs on the build's
// thread.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "content/post_index.h"
#include "data/json_document.h"
#include "render/site_config.h"

namespace tarn {

class SiteRender;

class FeedBuilder {
 public:
  // The build's step: public/atom.xml from the site data and the posts.
  // False, reported, when the feed renders to empty text: the build cannot
  // go on.
  static bool Write(SiteRender& site);

  // The longest description, counted as a double-byte code page would count
  // it (a character outside ASCII counts as two bytes).
  static constexpr std::size_t kDescriptionBytes = 100;

  // The contact text of the channel's webMaster element.
  static constexpr const char* kWebMaster = "noreply@tarn.invalid (Tarn Blog Editor)";

  // The whole feed as UTF-8 text with CR LF line ends: the channel from
  // site_data, an item per post, in their order. `now` is the
  // lastBuildDate; language, a checked tag, the channel's language.
  // Returns "" when site_data has no tree.
  static std::string BuildFeed(const JsonDocument& site_data, const std::vector<PostFile>& posts,
                               std::time_t now,
                               std::string_view language = SiteConfig::kDefaultLanguage);

  // "yyyy-MM-dd HH:mm:ss" in the local time zone (the post records' times)
  // to an RFC 822 date in UTC, e.g. "Wed, 05 Feb 2020 06:03:09 GMT" for
  // 2020-02-05 14:03:09 at UTC+8. "" when the text is not such a time.
  static std::string FormatFeedDate(const std::string& local_time_text);

  // The RFC 822 UTC date of a point in time; "" when it cannot be
  // represented.
  static std::string FormatFeedTime(std::time_t time);

  // The value as element text or attribute value: invalid characters
  // dropped, & < > " ' escaped.
  static std::string EscapeText(std::string_view value);

  // The value as the content of a CDATA section: invalid characters dropped,
  // each "]]>" split over two sections.
  static std::string EscapeCdata(std::string_view value);

  // Every `{$name}` in text (a name runs to the first "}" and holds no line
  // break) replaced by lookup(name), in one pass: replacement values are not
  // scanned again.
  template <typename Lookup>
  static std::string ExpandVariables(std::string_view text, const Lookup& lookup);
};

template <typename Lookup>
std::string FeedBuilder::ExpandVariables(std::string_view text, const Lookup& lookup) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t open = text.find("{$", pos);
    if (open == std::string_view::npos) break;
    std::size_t close = text.find('}', open + 2);
    std::size_t line_break = text.find('\n', open + 2);
    if (close == std::string_view::npos) break;
    if (line_break < close) {
      // No name can span the break; a later "{$" on the next line may match.
      out.append(text.substr(pos, line_break - pos));
      pos = line_break;
      continue;
    }
    out.append(text.substr(pos, open - pos));
    out.append(lookup(std::string(text.substr(open + 2, close - open - 2))));
    pos = close + 1;
  }
  out.append(text.substr(pos));
  return out;
}

}  // namespace tarn
