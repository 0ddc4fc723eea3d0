#include "render/feed_builder.h"

#include <cstdio>
#include <vector>

#include "content/front_matter.h"
#include "data/markup_escape.h"
#include "data/text_file.h"
#include "data/utf8.h"
#include "render/site_render.h"

namespace tarn {

namespace {

// Where a value lands in the feed decides how it is escaped.
enum class Slot { kCdata, kText };

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

// The item's description: the front matter's, when given; otherwise the
// start of the post's text after its front matter.
std::string ItemDescription(const PostFile& post) {
  constexpr std::size_t kBytes = FeedBuilder::kDescriptionBytes;
  if (!post.has_front) return std::string(CutAtWidth(post.content, kBytes));
  if (!post.description.empty()) return post.description;
  return std::string(CutAtWidth(FrontMatter::BodyOf(post.content), kBytes));
}

}  // namespace

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
  // Six numbers separated by "-", "-", " ", ":", ":"; nothing else.
  static const char kSeparators[] = {'-', '-', ' ', ':', ':', '\0'};
  int fields[6];
  std::size_t pos = 0;
  const std::string& s = local_time_text;
  for (int f = 0; f < 6; ++f) {
    std::size_t start = pos;
    long value = 0;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9' && pos - start < 4) {
      value = value * 10 + (s[pos] - '0');
      ++pos;
    }
    if (pos == start) return "";
    fields[f] = static_cast<int>(value);
    if (kSeparators[f] != '\0') {
      if (pos >= s.size() || s[pos] != kSeparators[f]) return "";
      ++pos;
    }
  }
  if (pos != s.size()) return "";
  if (fields[1] < 1 || fields[1] > 12 || fields[2] < 1 || fields[2] > 31 || fields[3] > 23 ||
      fields[4] > 59 || fields[5] > 60) {
    return "";
  }
  std::tm local{};
  local.tm_year = fields[0] - 1900;
  local.tm_mon = fields[1] - 1;
  local.tm_mday = fields[2];
  local.tm_hour = fields[3];
  local.tm_min = fields[4];
  local.tm_sec = fields[5];
  local.tm_isdst = -1;  // let the zone's rules decide whether summer time applies
  std::time_t t = std::mktime(&local);
  if (t == static_cast<std::time_t>(-1)) return "";
  return FormatFeedTime(t);
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
void AddChannel(std::vector<Piece>* pieces, const JsonDocument& site_data,
                const std::string& build_date, std::string_view language) {
  AddMarkup(pieces,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
            "<rss xmlns:atom=\"http://www.w3.org/2005/Atom\" version=\"2.0\">\r\n"
            "    <channel>\r\n"
            "        <title><![CDATA[");
  AddValue(pieces, Slot::kCdata, site_data.GetText("system.title"));
  AddMarkup(pieces, "]]></title>\r\n        <link>");
  AddValue(pieces, Slot::kText, site_data.GetText("system.url"));
  AddMarkup(pieces, "</link>\r\n        <atom:link href=\"");
  AddValue(pieces, Slot::kText, site_data.GetText("rss_rul"));
  AddMarkup(pieces,
            "\" rel=\"self\" type=\"application/rss+xml\" />\r\n"
            "        <description><![CDATA[");
  AddValue(pieces, Slot::kCdata, site_data.GetText("system.description"));
  AddMarkup(pieces, std::string("]]></description>\r\n"
                                "        <generator>TarnBlogEditor</generator>\r\n"
                                "        <webMaster>") +
                        FeedBuilder::kWebMaster +
                        "</webMaster>\r\n"
                        "        <language>" +
                        std::string(language) +
                        "</language>\r\n"
                        "        <lastBuildDate>");
  AddValue(pieces, Slot::kText, build_date);
  AddMarkup(pieces, "</lastBuildDate>\r\n        <ttl>50</ttl>\r\n");
}

// The item of one post, as its record in the post index has it.
void AddItem(std::vector<Piece>* pieces, const PostFile& post, const std::string& site_url,
             const std::string& author) {
  const std::string absolute_url = post.Url(site_url);
  AddMarkup(pieces, "    <item>\r\n      <title><![CDATA[");
  AddValue(pieces, Slot::kCdata, post.title);
  AddMarkup(pieces, "]]></title>\r\n      <description><![CDATA[");
  AddValue(pieces, Slot::kCdata, ItemDescription(post));
  AddMarkup(pieces, "]]></description>\r\n      <pubDate>");
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
  const std::string build_date = FormatFeedTime(now);
  const std::string site_url = site_data.GetText("system.url");
  const std::string author = site_data.GetText("system.author");

  // The feed is assembled as markup and raw values first; every value then
  // gets the site-data expansion and the escaping its slot needs. Escaping
  // last means an expanded value can never break out of its section.
  std::vector<Piece> pieces;
  pieces.reserve(14 + posts.size() * 14);
  AddChannel(&pieces, site_data, build_date, language);
  for (const PostFile& post : posts) AddItem(&pieces, post, site_url, author);
  AddMarkup(&pieces, "\r\n    </channel>\r\n</rss>\r\n");
  return JoinPieces(&pieces, site_data, build_date);
}

bool FeedBuilder::Write(SiteRender& site) {
  const std::string& language = site.config().language();
  std::string feed = BuildFeed(site.data(), site.posts(), std::time(nullptr),
                               language.empty() ? SiteConfig::kDefaultLanguage : language);
  if (feed.empty()) {
    site.Report(site.out().Shown("atom.xml") + ": the feed renders to empty text");
    return false;
  }
  site.out().Write("atom.xml", feed);
  return true;
}

}  // namespace tarn
