// JsonFeed: a JSON Feed 1.1 (https://jsonfeed.org/version/1.1) of a
// channel's items: feed.json beside atom.xml. Each item carries the post's
// id, address, title, dates (RFC 3339, UTC), tags, and either its
// description (content_text) or its whole HTML (content_html).
//
// Thread safety: pure apart from reading the process's time zone.
#pragma once

#include <string>
#include <vector>

#include "render/feed_source.h"

namespace tarn {

class JsonFeed {
 public:
  static constexpr char kFile[] = "feed.json";
  static constexpr char kType[] = "application/feed+json";
  static constexpr char kVersion[] = "https://jsonfeed.org/version/1.1";

  // The feed as pretty-printed UTF-8 JSON. Never fails.
  static std::string Build(const FeedChannel& channel, const std::vector<FeedItem>& items);
};

}  // namespace tarn
