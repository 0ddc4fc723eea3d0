#include "check/page_scan.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(PageScan, ReadsLinksIdsImagesAndHeadingsInOnePass) {
  PageScan scan = PageScan::Of(
      "<!DOCTYPE html><html><head><title>T</title>"
      "<meta name=\"description\" content=\"d\">"
      "<link rel=\"stylesheet\" href=\"s.css\"><link rel=\"icon\" href=\"i.svg\">"
      "<script src=\"j.js\"></script></head><body>\n"
      "<h1 id=\"top\">A</h1><h2>B</h2>\n<h4>C</h4>\n"
      "<a name=\"old\" href=\"x.html?a=1&amp;b=2\">x</a>"
      "<picture><source srcset=\"p1.webp 1x, p2.webp 2x\"><img src=\"p.png\" alt=\"\"></picture>"
      "<img src=\"q.png\" srcset=\"q2.png 2x\"><p>unclosed <b>markup\n");
  EXPECT_EQ(scan.titles, 1);
  EXPECT_EQ(scan.h1s, 1);
  EXPECT_TRUE(scan.description);
  EXPECT_FALSE(scan.redirect);
  EXPECT_EQ(scan.ids, (std::set<std::string>{"top", "old"}));
  ASSERT_EQ(scan.heading_skips.size(), 1u);
  EXPECT_EQ(scan.heading_skips[0].first, "h2 → h4");
  EXPECT_EQ(scan.heading_skips[0].second, 3);
  std::vector<std::string> links;
  for (const auto& link : scan.links) links.push_back(link.url + (link.image ? " (image)" : ""));
  EXPECT_EQ(links, (std::vector<std::string>{"s.css", "i.svg", "j.js", "x.html?a=1&b=2",
                                             "p1.webp (image)", "p2.webp (image)", "p.png (image)",
                                             "q.png (image)", "q2.png (image)"}));
  // The icon is not loaded with the page; a picture's and a srcset's
  // candidates share a group, of which the weight takes one.
  std::vector<std::string> resources;
  for (const auto& r : scan.resources) resources.push_back(r.url + ":" + std::to_string(r.group));
  EXPECT_EQ(resources, (std::vector<std::string>{"s.css:0", "j.js:0", "p1.webp:1", "p2.webp:1",
                                                 "p.png:1", "q.png:2", "q2.png:2"}));
  EXPECT_EQ(scan.images_without_alt, std::vector<int>{4});
}

TEST(PageScan, CountsWhatAPageLacksOrDoubles) {
  PageScan none = PageScan::Of("<p>text only</p>");
  EXPECT_EQ(none.titles, 0);
  EXPECT_EQ(none.h1s, 0);
  EXPECT_FALSE(none.description);
  PageScan two = PageScan::Of(
      "<title>a</title><title>b</title><meta name=\"description\" content=\"\">"
      "<meta http-equiv=\"Refresh\" content=\"0; url=x.html\"><h1>a</h1><h1>b</h1>");
  EXPECT_EQ(two.titles, 2);
  EXPECT_EQ(two.h1s, 2);
  EXPECT_FALSE(two.description);
  EXPECT_TRUE(two.redirect);
  ASSERT_EQ(two.links.size(), 1u);
  EXPECT_EQ(two.links[0].url, "x.html");
}

}  // namespace
}  // namespace tarn
