#include "render/json_feed.h"

#include "data/json_document.h"
#include "render/feed_builder.h"

namespace tarn {
namespace {

// Sets path to text unless text is empty: JSON Feed leaves out what a feed
// does not have rather than giving it as "".
void SetIfAny(JsonDocument* doc, const char* path, const std::string& text) {
  if (!text.empty()) doc->SetText(path, text);
}

JsonDocument Item(const FeedItem& item) {
  const PostFile& post = *item.post;
  JsonDocument entry = JsonDocument::NewObject();
  entry.SetText("id", item.id);
  SetIfAny(&entry, "url", item.url);
  entry.SetText("title", post.title);
  if (item.html.empty()) {
    entry.SetText("content_text", FeedBuilder::Description(post));
  } else {
    entry.SetText("content_html", item.html);
  }
  SetIfAny(&entry, "date_published", FeedBuilder::FormatIsoDate(post.post_time));
  SetIfAny(&entry, "date_modified", FeedBuilder::FormatIsoDate(post.update_time));
  if (!post.tags.empty() || !post.categories.empty()) {
    entry.SetEmptyArray("tags");
    for (const auto* terms : {&post.tags, &post.categories})
      for (const std::string& term : *terms) entry.Append("tags", JsonDocument::NewText(term));
  }
  return entry;
}

}  // namespace

std::string JsonFeed::Build(const FeedChannel& channel, const std::vector<FeedItem>& items) {
  JsonDocument feed = JsonDocument::NewObject();
  feed.SetText("version", kVersion);
  feed.SetText("title", channel.title);
  SetIfAny(&feed, "home_page_url", channel.link);
  SetIfAny(&feed, "feed_url", channel.self);
  SetIfAny(&feed, "description", channel.description);
  SetIfAny(&feed, "language", channel.language);
  if (!channel.author.empty()) {
    JsonDocument author = JsonDocument::NewObject();
    author.SetText("name", channel.author);
    feed.SetEmptyArray("authors");
    feed.Append("authors", std::move(author));
  }
  feed.SetEmptyArray("items");
  for (const FeedItem& item : items) feed.Append("items", Item(item));
  return feed.ToText("", true) + "\n";
}

}  // namespace tarn
