#include "render/atom_feed.h"

#include <algorithm>

#include "render/feed_builder.h"

namespace tarn {
namespace {

void AddElement(std::string* out, const char* indent, const char* name, const std::string& text) {
  *out += indent;
  *out += '<';
  *out += name;
  *out += '>';
  *out += FeedBuilder::EscapeText(text);
  *out += "</";
  *out += name;
  *out += ">\n";
}

void AddLink(std::string* out, const char* indent, const char* rel, const std::string& href,
             const char* type) {
  if (href.empty()) return;
  *out += indent;
  *out += "<link rel=\"";
  *out += rel;
  *out += "\" href=\"" + FeedBuilder::EscapeText(href) + "\"";
  if (type != nullptr) *out += std::string(" type=\"") + type + "\"";
  *out += "/>\n";
}

void AddEntry(std::string* out, const FeedItem& item) {
  const PostFile& post = *item.post;
  const std::string published = FeedBuilder::FormatIsoDate(post.post_time);
  const std::string updated = FeedBuilder::FormatIsoDate(post.update_time);
  *out += "  <entry>\n";
  AddElement(out, "    ", "title", post.title);
  AddLink(out, "    ", "alternate", item.url, "text/html");
  AddElement(out, "    ", "id", item.id);
  if (!published.empty()) AddElement(out, "    ", "published", published);
  AddElement(out, "    ", "updated", updated.empty() ? published : updated);
  for (const auto* terms : {&post.tags, &post.categories})
    for (const std::string& term : *terms)
      *out += "    <category term=\"" + FeedBuilder::EscapeText(term) + "\"/>\n";
  if (item.html.empty()) {
    AddElement(out, "    ", "summary", FeedBuilder::Description(post));
  } else {
    *out += "    <content type=\"html\">" + FeedBuilder::EscapeText(item.html) + "</content>\n";
  }
  *out += "  </entry>\n";
}

}  // namespace

std::string AtomFeed::Build(const FeedChannel& channel, const std::vector<FeedItem>& items,
                            std::time_t now) {
  // The feed is as new as its newest post; a feed without posts, as the
  // build.
  std::string newest;
  for (const FeedItem& item : items) newest = std::max(newest, item.post->update_time);
  std::string updated = FeedBuilder::FormatIsoDate(newest);
  if (updated.empty()) updated = FeedBuilder::FormatIsoTime(now);

  std::string out =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<feed xmlns=\"http://www.w3.org/2005/Atom\"";
  out += " xml:lang=\"" + FeedBuilder::EscapeText(channel.language) + "\">\n";
  AddElement(&out, "  ", "title", channel.title);
  if (!channel.description.empty()) AddElement(&out, "  ", "subtitle", channel.description);
  AddLink(&out, "  ", "alternate", channel.link, "text/html");
  AddLink(&out, "  ", "self", channel.self, kType);
  AddElement(&out, "  ", "id", channel.id);
  AddElement(&out, "  ", "updated", updated);
  out += "  <author>\n";
  AddElement(&out, "    ", "name", channel.author.empty() ? channel.title : channel.author);
  out += "  </author>\n  <generator>TarnBlogEditor</generator>\n";
  for (const FeedItem& item : items) AddEntry(&out, item);
  out += "</feed>\n";
  return out;
}

}  // namespace tarn
