#include "render/feed_address.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(FeedAddressTest, EncodedGivesAValidUri) {
  const struct {
    const char* address;
    const char* encoded;
  } cases[] = {
      {"https://blog.example/articles/Hello.html", "https://blog.example/articles/Hello.html"},
      {"https://blog.example/articles/中文.html",
       "https://blog.example/articles/%E4%B8%AD%E6%96%87.html"},
      // Escapes already there stay; a "%" that starts none is encoded.
      {"https://b.example/C%23%20tips.html", "https://b.example/C%23%20tips.html"},
      {"https://b.example/100%.html", "https://b.example/100%25.html"},
      {"https://b.example/a%2", "https://b.example/a%252"},
      {"https://b.example/a b\"<{|}>\\^`", "https://b.example/a%20b%22%3C%7B%7C%7D%3E%5C%5E%60"},
      {"https://b.example/?q=1&r=[2]#x", "https://b.example/?q=1&r=[2]#x"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FeedAddress::Encoded(c.address), c.encoded) << c.address;
}

TEST(FeedAddressTest, OfJoinsTheSiteAddressOrGivesNothing) {
  EXPECT_EQ(FeedAddress::Of("https://b.example", "tags/湖/atom.xml"),
            "https://b.example/tags/%E6%B9%96/atom.xml");
  EXPECT_EQ(FeedAddress::Of("", "atom.xml"), "");
  // An id is a URI with or without the site's address.
  EXPECT_EQ(FeedAddress::Id("https://b.example/atom.xml", "atom.xml"),
            "https://b.example/atom.xml");
  EXPECT_EQ(FeedAddress::Id("", "articles/湖 notes.html"),
            "urn:tarn:articles/%E6%B9%96%20notes.html");
}

TEST(FeedAddressTest, AbsoluteResolvesEveryHrefAndSrc) {
  const std::string base = "https://b.example/blog/articles/湖 notes.html";
  const struct {
    const char* html;
    const char* absolute;
  } cases[] = {
      {"<img src=\"../assets/a.png\" alt=\"a\">",
       "<img src=\"https://b.example/blog/assets/a.png\" alt=\"a\">"},
      {"<a href=\"Other.html\">o</a>",
       "<a href=\"https://b.example/blog/articles/Other.html\">o</a>"},
      {"<a href=\"/about.html\">a</a>", "<a href=\"https://b.example/about.html\">a</a>"},
      {"<a href=\"#top\">t</a>",
       "<a href=\"https://b.example/blog/articles/%E6%B9%96%20notes.html#top\">t</a>"},
      {"<a href=\"https://x.example/é\">x</a><a href=\"mailto:a@b.example\">m</a>",
       "<a href=\"https://x.example/%C3%A9\">x</a><a href=\"mailto:a@b.example\">m</a>"},
      {"<a href=\"图.html?a=1&amp;b=2\">q</a>",
       "<a href=\"https://b.example/blog/articles/%E5%9B%BE.html?a=1&amp;b=2\">q</a>"},
      // Text that only looks like an attribute, and one never closed, stay.
      {"<p>write href=x and data-src=\"y\"</p>", "<p>write href=x and data-src=\"y\"</p>"},
      {"<a href=\"open", "<a href=\"open"},
      {"<p>no links</p>", "<p>no links</p>"},
  };
  for (const auto& c : cases) EXPECT_EQ(FeedAddress::Absolute(c.html, base), c.absolute) << c.html;
}

}  // namespace
}  // namespace tarn
