#include "render/responsive_images.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(ResponsiveImagesTest, PublicPathResolvesAsTheArticlePageDoes) {
  const struct {
    const char* src;
    const char* site_url;
    const char* path;  // "" for none of the site's files
  } cases[] = {
      {"../images/a.jpg", "", "images/a.jpg"},
      {"../images/sub/../a.jpg", "", "images/a.jpg"},
      {"a.jpg", "", "articles/a.jpg"},
      {"./../images/caf%C3%A9%20au%20lait.jpg", "", "images/café au lait.jpg"},
      {"/images/a.jpg", "", "images/a.jpg"},
      {"../images/salt&amp;pepper.jpg", "", "images/salt&pepper.jpg"},
      {"https://b.example/images/a.jpg", "https://b.example", "images/a.jpg"},
      // Elsewhere: other sites, schemes, above the root, queries.
      {"https://b.example/images/a.jpg", "", ""},
      {"https://b.example.evil/images/a.jpg", "https://b.example", ""},
      {"//cdn.example/a.jpg", "", ""},
      {"data:image/png;base64,AAAA", "", ""},
      {"../../../etc/passwd", "", ""},
      {"../images/a.jpg?v=2", "", ""},
      {"../images/a.jpg#x", "", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ResponsiveImages::PublicPath(c.src, c.site_url), c.path) << c.src;
}

}  // namespace
}  // namespace tarn
