// AtomFeed: an Atom 1.0 feed (RFC 4287) of a channel's items: feed.atom
// beside atom.xml, for readers that prefer Atom. Each entry carries the
// post's title, address, id, dates (RFC 3339, UTC), tags and categories,
// and either its description (summary) or its whole HTML (content).
//
// Thread safety: pure apart from reading the process's time zone.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "render/feed_source.h"

namespace tarn {

class AtomFeed {
 public:
  // The file name beside atom.xml; .atom tells a web server the type.
  static constexpr char kFile[] = "feed.atom";
  static constexpr char kType[] = "application/atom+xml";

  // The feed as UTF-8 XML; now is the feed's updated time when no item is
  // newer. Never fails: text XML cannot hold is dropped or replaced.
  static std::string Build(const FeedChannel& channel, const std::vector<FeedItem>& items,
                           std::time_t now);
};

}  // namespace tarn
