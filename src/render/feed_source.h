// FeedChannel and FeedItem: what every kind of feed (RSS 2.0 in atom.xml,
// Atom 1.0 in feed.atom, JSON Feed 1.1 in feed.json) is written from, so
// that the three carry the same posts, addresses and text.
//
// Addresses here are final: absolute and percent-encoded (FeedAddress)
// where the blog has system.url.
#pragma once

#include <string>
#include <vector>

#include "content/post_index.h"

namespace tarn {

struct FeedChannel {
  std::string title;
  std::string description;
  std::string link;      // the page the feed is of; "" without system.url
  std::string self;      // the feed's own address; "" when it has none
  std::string id;        // a URI that names the feed for good (Atom's id)
  std::string language;  // a checked language tag
  std::string author;
};

struct FeedItem {
  const PostFile* post = nullptr;
  std::string url;   // the article's address
  std::string id;    // a URI that names the post for good
  std::string html;  // the whole article, addresses absolute; "" for a summary
};

}  // namespace tarn
