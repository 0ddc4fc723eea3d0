#include "render/feed_builder.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "content/clock.h"
#include "content/front_matter.h"
#include "data/markup_escape.h"
#include "data/text_file.h"
#include "data/utf8.h"
#include "render/atom_feed.h"
#include "render/feed_address.h"
#include "render/json_feed.h"
#include "render/site_render.h"

namespace tarn {

namespace {

// Where a value lands in the feed decides how it is escaped.
// kHtml: a post's HTML, in CDATA and never expanded.
enum class Slot { kCdata, kText, kHtml };

// One piece of the feed: template markup, or a raw value still to be
// expanded and escaped for its slot.
struct Piece {
  bool is_value;
  Slot slot;
  std::string text;
};

const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Appends the characters of value that XML 1.0 allows, replacing each byte
// that does not start a valid UTF-8 sequence by U+FFFD. `escape` is called
// for every allowed ASCII character and appends it (escaped as needed).
template <typename Escape>
void AppendXmlChars(std::string_view value, std::string* out, const Escape& escape) {
  const auto* s = reinterpret_cast<const unsigned char*>(value.data());
  std::size_t n = value.size();
  std::size_t i = 0;
  while (i < n) {
    unsigned char c = s[i];
    if (c < 0x80) {
      if (c >= 0x20 || c == '\t' || c == '\n' || c == '\r') escape(static_cast<char>(c), out);
      ++i;
      continue;
    }
    int len = Utf8SequenceLength(s + i, s + n);
    if (len == 0) {
      out->append("\xEF\xBF\xBD");
      ++i;
      continue;
    }
    char32_t cp = DecodeUtf8Sequence(s + i, len);
    if (cp != 0xFFFE && cp != 0xFFFF) out->append(value.substr(i, static_cast<std::size_t>(len)));
    i += static_cast<std::size_t>(len);
  }
}

void AppendEscapedText(std::string_view value, std::string* out) {
  AppendXmlChars(value, out,
                 [](char c, std::string* o) { AppendEscapedChar(c, MarkupSlot::kXml, o); });
}

void AppendEscapedCdata(std::string_view value, std::string* out) {
  std::string clean;
  clean.reserve(value.size());
  AppendXmlChars(value, &clean, [](char c, std::string* o) { o->push_back(c); });
  // "]]>" would end the section early: close the section after "]]" and
  // open a new one for the ">".
  std::size_t pos = 0;
  for (;;) {
    std::size_t hit = clean.find("]]>", pos);
    if (hit == std::string::npos) break;
    out->append(clean, pos, hit + 2 - pos);
    out->append("]]><![CDATA[");
    pos = hit + 2;
  }
  out->append(clean, pos, std::string::npos);
}

void AddMarkup(std::vector<Piece>* pieces, std::string text) {
  pieces->push_back(Piece{false, Slot::kText, std::move(text)});
}

void AddValue(std::vector<Piece>* pieces, Slot slot, std::string text) {
  pieces->push_back(Piece{true, slot, std::move(text)});
}

// "yyyy-MM-dd HH:mm:ss" in local time into *time; false when the text has
// another form.
bool ParseLocalTime(const std::string& s, std::time_t* time) {
  // Six numbers separated by "-", "-", " ", ":", ":"; nothing else.
  static const char kSeparators[] = {'-', '-', ' ', ':', ':', '\0'};
  int fields[6];
  std::size_t pos = 0;
  for (int f = 0; f < 6; ++f) {
    std::size_t start = pos;
    long value = 0;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9' && pos - start < 4) {
      value = value * 10 + (s[pos] - '0');
      ++pos;
    }
    if (pos == start) return false;
    fields[f] = static_cast<int>(value);
    if (kSeparators[f] != '\0') {
      if (pos >= s.size() || s[pos] != kSeparators[f]) return false;
      ++pos;
    }
  }
  if (pos != s.size()) return false;
  if (fields[1] < 1 || fields[1] > 12 || fields[2] < 1 || fields[2] > 31 || fields[3] > 23 ||
      fields[4] > 59 || fields[5] > 60) {
    return false;
  }
  std::tm local{};
  local.tm_year = fields[0] - 1900;
  local.tm_mon = fields[1] - 1;
  local.tm_mday = fields[2];
  local.tm_hour = fields[3];
  local.tm_min = fields[4];
  local.tm_sec = fields[5];
  local.tm_isdst = -1;  // let the zone's rules decide whether summer time applies
  *time = std::mktime(&local);
  return *time != static_cast<std::time_t>(-1);
}

}  // namespace

std::string FeedBuilder::Description(const PostFile& post) {
  constexpr std::size_t kBytes = FeedBuilder::kDescriptionBytes;
  if (!post.has_front) return std::string(CutAtWidth(post.content, kBytes));
  if (!post.description.empty()) return post.description;
  return std::string(CutAtWidth(FrontMatter::BodyOf(post.content), kBytes));
}

std::string FeedBuilder::FormatFeedTime(std::time_t time) {
  std::tm utc{};
  if (gmtime_r(&time, &utc) == nullptr) return "";
  if (utc.tm_year + 1900 < 0 || utc.tm_year + 1900 > 9999) return "";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[utc.tm_wday],
                utc.tm_mday, kMonths[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min,
                utc.tm_sec);
  return buffer;
}

std::string FeedBuilder::FormatFeedDate(const std::string& local_time_text) {
  std::time_t t = 0;
  return ParseLocalTime(local_time_text, &t) ? FormatFeedTime(t) : "";
}

std::string FeedBuilder::FormatIsoTime(std::time_t time) {
  std::tm utc{};
  if (gmtime_r(&time, &utc) == nullptr) return "";
  if (utc.tm_year + 1900 < 0 || utc.tm_year + 1900 > 9999) return "";
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return buffer;
}

std::string FeedBuilder::FormatIsoDate(const std::string& local_time_text) {
  std::time_t t = 0;
  return ParseLocalTime(local_time_text, &t) ? FormatIsoTime(t) : "";
}

std::string FeedBuilder::EscapeText(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  AppendEscapedText(value, &out);
  return out;
}

std::string FeedBuilder::EscapeCdata(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  AppendEscapedCdata(value, &out);
  return out;
}

namespace {

// The channel's opening and its elements up to the first item.
// with_content: an item carries content:encoded, whose namespace the
// channel then names.
void AddChannel(std::vector<Piece>* pieces, const FeedChannel& channel,
                const std::string& build_date, bool with_content) {
  AddMarkup(
      pieces,
      std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                  "<rss xmlns:atom=\"http://www.w3.org/2005/Atom\"") +
          (with_content ? " xmlns:content=\"http://purl.org/rss/1.0/modules/content/\"" : "") +
          " version=\"2.0\">\r\n"
          "    <channel>\r\n"
          "        <title><![CDATA[");
  AddValue(pieces, Slot::kCdata, channel.title);
  AddMarkup(pieces, "]]></title>\r\n        <link>");
  AddValue(pieces, Slot::kText, channel.link);
  AddMarkup(pieces, "</link>\r\n");
  if (!channel.self.empty()) {
    AddMarkup(pieces, "        <atom:link href=\"");
    AddValue(pieces, Slot::kText, channel.self);
    AddMarkup(pieces, "\" rel=\"self\" type=\"application/rss+xml\" />\r\n");
  }
  AddMarkup(pieces, "        <description><![CDATA[");
  AddValue(pieces, Slot::kCdata, channel.description);
  AddMarkup(pieces, std::string("]]></description>\r\n"
                                "        <generator>TarnBlogEditor</generator>\r\n"
                                "        <webMaster>") +
                        FeedBuilder::kWebMaster +
                        "</webMaster>\r\n"
                        "        <language>" +
                        channel.language +
                        "</language>\r\n"
                        "        <lastBuildDate>");
  AddValue(pieces, Slot::kText, build_date);
  AddMarkup(pieces, "</lastBuildDate>\r\n        <ttl>50</ttl>\r\n");
}

// The item of one post, as its record in the post index has it.
void AddItem(std::vector<Piece>* pieces, const FeedItem& item, const std::string& author) {
  const PostFile& post = *item.post;
  const std::string& absolute_url = item.url;
  AddMarkup(pieces, "    <item>\r\n      <title><![CDATA[");
  AddValue(pieces, Slot::kCdata, post.title);
  AddMarkup(pieces, "]]></title>\r\n      <description><![CDATA[");
  AddValue(pieces, Slot::kCdata, FeedBuilder::Description(post));
  AddMarkup(pieces, "]]></description>\r\n");
  if (!item.html.empty()) {
    AddMarkup(pieces, "      <content:encoded><![CDATA[");
    AddValue(pieces, Slot::kHtml, item.html);
    AddMarkup(pieces, "]]></content:encoded>\r\n");
  }
  AddMarkup(pieces, "      <pubDate>");
  AddValue(pieces, Slot::kText, FeedBuilder::FormatFeedDate(post.update_time));
  AddMarkup(pieces, "</pubDate>\r\n      <guid isPermaLink=\"true\">");
  AddValue(pieces, Slot::kText, absolute_url);
  AddMarkup(pieces, "</guid>\r\n      <link>");
  AddValue(pieces, Slot::kText, absolute_url);
  AddMarkup(pieces, "</link>\r\n      <author><![CDATA[");
  AddValue(pieces, Slot::kCdata, author);
  AddMarkup(pieces, "]]></author>\r\n    </item>\r\n");
}

// The pieces as one text: markup as it is, each value with its
// placeholders expanded and then escaped for its slot.
std::string JoinPieces(std::vector<Piece>* pieces, const JsonDocument& site_data,
                       const std::string& build_date) {
  // A placeholder left in a value (a post title holding "{$system.title}")
  // names a member of the site data; lastBuidDate is the build date.
  auto lookup = [&](const std::string& name) -> std::string {
    if (name == "lastBuidDate") return build_date;
    if (name.empty()) return "";
    return site_data.GetText(name);
  };

  std::size_t size = 0;
  for (const Piece& piece : *pieces) size += piece.text.size() + piece.text.size() / 8;
  std::string feed;
  feed.reserve(size);
  for (Piece& piece : *pieces) {
    if (!piece.is_value) {
      feed.append(piece.text);
      continue;
    }
    if (piece.slot == Slot::kHtml) {
      AppendEscapedCdata(piece.text, &feed);
      continue;
    }
    std::string value = piece.text.find("{$") == std::string::npos
                            ? std::move(piece.text)
                            : FeedBuilder::ExpandVariables(piece.text, lookup);
    if (piece.slot == Slot::kCdata) {
      AppendEscapedCdata(value, &feed);
    } else {
      AppendEscapedText(value, &feed);
    }
  }
  return feed;
}

}  // namespace

std::string FeedBuilder::BuildFeed(const JsonDocument& site_data,
                                   const std::vector<PostFile>& posts, std::time_t now,
                                   std::string_view language) {
  if (!site_data.HasTree()) return "";
  std::vector<const PostFile*> listed;
  for (const PostFile& post : posts) listed.push_back(&post);
  return BuildRss(site_data, SiteChannel(site_data, language),
                  SummaryItems(listed, site_data.GetText("system.url")), now);
}

std::string FeedBuilder::BuildRss(const JsonDocument& site_data, const FeedChannel& channel,
                                  const std::vector<FeedItem>& items, std::time_t now) {
  if (!site_data.HasTree()) return "";
  const std::string build_date = FormatFeedTime(now);
  bool with_content = false;
  for (const FeedItem& item : items) with_content = with_content || !item.html.empty();

  // The feed is assembled as markup and raw values first; every value then
  // gets the site-data expansion and the escaping its slot needs. Escaping
  // last means an expanded value can never break out of its section.
  std::vector<Piece> pieces;
  pieces.reserve(14 + items.size() * 17);
  AddChannel(&pieces, channel, build_date, with_content);
  for (const FeedItem& item : items) AddItem(&pieces, item, channel.author);
  AddMarkup(&pieces, "\r\n    </channel>\r\n</rss>\r\n");
  return JoinPieces(&pieces, site_data, build_date);
}

FeedChannel FeedBuilder::SiteChannel(const JsonDocument& site_data, std::string_view language) {
  FeedChannel channel;
  const std::string site_url = site_data.GetText("system.url");
  channel.title = site_data.GetText("system.title");
  channel.description = site_data.GetText("system.description");
  channel.link = FeedAddress::Encoded(site_url);
  const std::string written = site_data.GetText("rss_rul");
  channel.self =
      written.empty() ? FeedAddress::Of(site_url, "atom.xml") : FeedAddress::Encoded(written);
  channel.id = FeedAddress::Id(channel.self, "atom.xml");
  channel.language = std::string(language);
  channel.author = site_data.GetText("system.author");
  return channel;
}

std::vector<FeedItem> FeedBuilder::SummaryItems(const std::vector<const PostFile*>& posts,
                                                const std::string& site_url) {
  std::vector<FeedItem> items;
  items.reserve(posts.size());
  for (const PostFile* post : posts) {
    FeedItem item;
    item.post = post;
    item.url = FeedAddress::Encoded(post->Url(site_url));
    // Without system.url the address is no URI of its own; the id still
    // must be one.
    item.id = FeedAddress::Id(site_url.empty() ? "" : item.url, post->ArticleFile());
    items.push_back(std::move(item));
  }
  return items;
}

namespace {

// The posts a feed holds, of those at the indices in which: drafts (a
// build with --drafts) never go out to readers. Scheduled posts are among
// the build's posts only when it builds the site as it will be once they
// are due (PostFilter), and then are in its feeds as they will be.
std::vector<int> Published(SiteRender& site, const std::vector<int>& which) {
  std::vector<int> published;
  for (int i : which) {
    if (!site.posts()[static_cast<std::size_t>(i)].draft) published.push_back(i);
  }
  return published;
}

std::vector<FeedItem> Items(SiteRender& site, const std::vector<int>& which) {
  std::vector<const PostFile*> posts;
  for (int i : which) posts.push_back(&site.posts()[static_cast<std::size_t>(i)]);
  std::vector<FeedItem> items =
      FeedBuilder::SummaryItems(posts, site.config().Setting("system.url"));
  if (!site.features().feed_full) return items;
  for (std::size_t n = 0; n < items.size(); ++n) {
    std::string storage;
    std::string_view html;
    std::string error;
    // A post that did not convert is reported with its article page and
    // keeps its summary here.
    if (site.html().Get(static_cast<std::size_t>(which[n]), &storage, &html, &error))
      items[n].html =
          site.images().Markup(site, *posts[n], FeedAddress::Absolute(html, items[n].url),
                               ResponsiveImages::Place::kFeed);
  }
  return items;
}

// One feed beside atom.xml in folder ("" or "tags/FOLDER/"), as file; link
// is folder as it goes into an address. Removes an earlier build's when
// the theme does not ask for it.
template <typename Build>
void WriteKind(SiteRender& site, bool wanted, const std::string& folder, const std::string& link,
               const char* file, FeedChannel channel, const Build& build) {
  if (!wanted) {
    site.out().RemoveFile(folder + file);
    return;
  }
  channel.self = FeedAddress::Of(site.config().Setting("system.url"), link + file);
  channel.id = FeedAddress::Id(channel.self, link + file);
  site.out().Write(folder + file, build(channel));
}

// atom.xml and the feeds the theme asks for into folder, of the posts at
// the indices in which; false when atom.xml renders to empty text
// (reported).
bool WriteFeeds(SiteRender& site, const std::string& folder, const std::string& link,
                const FeedChannel& channel, const std::vector<int>& which) {
  const std::vector<FeedItem> items = Items(site, Published(site, which));
  const std::time_t now = Clock::Now();
  std::string rss = FeedBuilder::BuildRss(site.data(), channel, items, now);
  if (rss.empty()) {
    site.Report(site.out().Shown(folder + "atom.xml") + ": the feed renders to empty text");
    return false;
  }
  site.out().Write(folder + "atom.xml", rss);
  const ThemeFeatures& features = site.features();
  WriteKind(site, features.feed_atom, folder, link, AtomFeed::kFile, channel,
            [&](const FeedChannel& c) { return AtomFeed::Build(c, items, now); });
  WriteKind(site, features.feed_json, folder, link, JsonFeed::kFile, channel,
            [&](const FeedChannel& c) { return JsonFeed::Build(c, items); });
  return true;
}

std::string Language(SiteRender& site) {
  const std::string& language = site.config().language();
  return language.empty() ? SiteConfig::kDefaultLanguage : language;
}

}  // namespace

bool FeedBuilder::Write(SiteRender& site) {
  std::vector<int> all(site.posts().size());
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int>(i);
  return WriteFeeds(site, "", "", SiteChannel(site.data(), Language(site)), all);
}

void FeedBuilder::WriteTermFeeds(SiteRender& site, const std::string& folder,
                                 const std::string& link_folder, const std::string& name,
                                 const std::vector<int>& posts) {
  const std::string files = folder + "/";
  if (!site.features().tag_feeds) {
    for (const char* file : {"atom.xml", AtomFeed::kFile, JsonFeed::kFile})
      site.out().RemoveFile(files + file);
    return;
  }
  const std::string link = link_folder + "/";
  FeedChannel channel = SiteChannel(site.data(), Language(site));
  channel.title += " · " + name;
  const std::string site_url = site.config().Setting("system.url");
  channel.link = FeedAddress::Of(site_url, link + "index.html");
  channel.self = FeedAddress::Of(site_url, link + "atom.xml");
  channel.id = FeedAddress::Id(channel.self, link + "atom.xml");
  WriteFeeds(site, files, link, channel, posts);
}

std::string FeedBuilder::Links(const ThemeFeatures& features, std::string_view root,
                               std::string_view term_folder, std::string_view term_name) {
  struct Kind {
    bool wanted;
    const char* type;
    const char* title;
    const char* file;
  };
  const Kind kinds[] = {{features.feed_rss, "application/rss+xml", "RSS", "atom.xml"},
                        {features.feed_atom, AtomFeed::kType, "Atom", AtomFeed::kFile},
                        {features.feed_json, JsonFeed::kType, "JSON Feed", JsonFeed::kFile}};
  std::string lines;
  auto add = [&](const Kind& kind, const std::string& folder, std::string_view name) {
    if (!kind.wanted) return;
    if (!lines.empty()) lines += '\n';
    lines +=
        std::string("<link rel=\"alternate\" type=\"") + kind.type + "\" title=\"" + kind.title;
    if (!name.empty()) lines += ": " + EscapeMarkup(name, MarkupSlot::kAttribute);
    lines += "\" href=\"" + std::string(root) + "/" + folder + kind.file + "\">";
  };
  for (const Kind& kind : kinds) add(kind, "", "");
  if (features.tag_feeds && !term_folder.empty())
    for (const Kind& kind : kinds) add(kind, std::string(term_folder) + "/", term_name);
  return lines;
}

}  // namespace tarn
