// FeedBuilder: the site's feeds. atom.xml, the RSS 2.0 feed, always; with
// the theme's "feeds" also feed.atom (AtomFeed) and feed.json (JsonFeed);
// with "tagFeeds" the same once more for each tag and category beside its
// page (tags/NAME/atom.xml, ...). A feed holds the posts the site lists,
// less drafts (posts scheduled for later are not among them: PostFilter,
// unless --future builds the site as it will be). With "feed":
// {"content": "full"} each item carries the post's whole HTML, its links
// and images made absolute from system.url.
//
// Every address in a feed is a valid URI (FeedAddress): absolute where the
// blog has system.url, percent-encoded as UTF-8. The RSS feed's self link
// is its own address (rss_rul in base.json, where written, else
// system.url + "/atom.xml"), left out without either.
//
// The RSS feed is two fixed templates, a channel and one item per post, filled
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
#include "render/feed_source.h"
#include "render/site_config.h"

namespace tarn {

class SiteRender;

class FeedBuilder {
 public:
  // The build's step: public/atom.xml and the feeds the theme asks for,
  // from the site data and the posts. False, reported, when atom.xml
  // renders to empty text: the build cannot go on.
  static bool Write(SiteRender& site);

  // The feeds of one tag or category (name; the posts at the indices in
  // posts) into folder ("tags/FOLDER"; link_folder is the same as it goes
  // into an address), when the theme asks for them, else an earlier
  // build's removed; for TaxonomyPages, after the term's page is written.
  static void WriteTermFeeds(SiteRender& site, const std::string& folder,
                             const std::string& link_folder, const std::string& name,
                             const std::vector<int>& posts);

  // The <link rel="alternate"> lines, one per feed the theme names, that a
  // page root folders below public/ puts in its head (the template
  // variable feedLinks); term_folder and term_name add the term's own
  // feeds when the theme writes them.
  static std::string Links(const ThemeFeatures& features, std::string_view root,
                           std::string_view term_folder = "", std::string_view term_name = "");

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
  // The same from a channel and its items; the channel's texts and the
  // posts' titles and descriptions get the site-data expansion, the items'
  // HTML goes in as it is (content:encoded).
  static std::string BuildRss(const JsonDocument& site_data, const FeedChannel& channel,
                              const std::vector<FeedItem>& items, std::time_t now);

  // The site's channel as site_data has it (self: rss_rul, else the
  // address of atom.xml), and an item per post, as the summary feed shows
  // them.
  static FeedChannel SiteChannel(const JsonDocument& site_data, std::string_view language);
  static std::vector<FeedItem> SummaryItems(const std::vector<const PostFile*>& posts,
                                            const std::string& site_url);

  // The item's description: the front matter's, when given; otherwise the
  // start of the post's text (kDescriptionBytes).
  static std::string Description(const PostFile& post);

  // "yyyy-MM-dd HH:mm:ss" in the local time zone (the post records' times)
  // to an RFC 822 date in UTC, e.g. "Wed, 05 Feb 2020 06:03:09 GMT" for
  // 2020-02-05 14:03:09 at UTC+8. "" when the text is not such a time.
  static std::string FormatFeedDate(const std::string& local_time_text);

  // The RFC 822 UTC date of a point in time; "" when it cannot be
  // represented.
  static std::string FormatFeedTime(std::time_t time);
  // The same as RFC 3339 dates in UTC ("2020-02-05T06:03:09Z"), for Atom
  // and JSON Feed; "" as above.
  static std::string FormatIsoDate(const std::string& local_time_text);
  static std::string FormatIsoTime(std::time_t time);

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
