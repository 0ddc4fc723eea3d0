#include "render/picture_markup.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

// A 2000x1500 photo at ../images/a.jpg (1600x1200 published) with AVIF and
// WebP copies at 480 and 1600.
const PictureMarkup::Image kPhoto = {1600,
                                     1200,
                                     {{"", "avif", 480, 360},
                                      {"", "webp", 480, 360},
                                      {"", "avif", 1600, 1200},
                                      {"", "webp", 1600, 1200}}};

const PictureMarkup::Image* Find(std::string_view src) {
  return src == "../images/a.jpg" || src == "https://b.example/images/a.jpg" ? &kPhoto : nullptr;
}

constexpr char kSources[] =
    "<picture><source type=\"image/avif\" srcset=\"../images/a.480.avif 480w, "
    "../images/a.1600.avif 1600w\" sizes=\"S\"><source type=\"image/webp\" "
    "srcset=\"../images/a.480.webp 480w, ../images/a.1600.webp 1600w\" sizes=\"S\">";

TEST(PictureMarkupTest, RewritesProcessedImagesOnly) {
  const std::string picture = kSources;
  const struct {
    const char* html;
    std::string expected;
  } cases[] = {
      // markdown-it's own tag; the first image is eager in an article.
      {"<p><img src=\"../images/a.jpg\" alt=\"A lake\"></p>",
       "<p>" + picture +
           "<img src=\"../images/a.jpg\" alt=\"A lake\" width=\"1600\" height=\"1200\" "
           "fetchpriority=\"high\" decoding=\"async\"></picture></p>"},
      // The second is lazy; a self-closing tag keeps its end.
      {"<img src=\"x.png\"><img src=\"../images/a.jpg\" alt=\"a\"/><img src='../images/a.jpg' "
       "alt=b>",
       "<img src=\"x.png\">" + picture +
           "<img src=\"../images/a.jpg\" alt=\"a\" width=\"1600\" height=\"1200\" "
           "fetchpriority=\"high\" decoding=\"async\"/></picture>" +
           picture +
           "<img src='../images/a.jpg' alt=b width=\"1600\" height=\"1200\" loading=\"lazy\" "
           "decoding=\"async\"></picture>"},
      // What the writer gave stays: their width, height and loading.
      {"<img src=\"../images/a.jpg\" width=\"300\" loading=\"eager\" alt=\"x\">",
       picture + "<img src=\"../images/a.jpg\" width=\"300\" loading=\"eager\" alt=\"x\" "
                 "decoding=\"async\"></picture>"},
      // Left alone: a picture written by hand, an image with srcset, text
      // that only looks like a tag, an unknown image, an <imgx> tag.
      {"<picture><img src=\"../images/a.jpg\"></picture>", ""},
      {"<img srcset=\"a 1x\" src=\"../images/a.jpg\">", ""},
      {"<code>&lt;img src=\"../images/a.jpg\"&gt;</code>", ""},
      {"<imgx src=\"../images/a.jpg\"><img alt=\"src=../images/a.jpg\" src=\"b.jpg\">", ""},
      {"<img src=\"../images/a.jpg", ""},
  };
  for (const auto& c : cases) {
    std::string expected = c.expected.empty() ? c.html : c.expected;
    EXPECT_EQ(PictureMarkup::Rewrite(c.html, Find, {"S", true}), expected) << c.html;
  }
}

TEST(PictureMarkupTest, ListsImagesWithoutAltAndKeepsAbsoluteAddresses) {
  std::vector<std::string> missing;
  std::string html = PictureMarkup::Rewrite(
      "<img src=\"../images/a.jpg\" alt=\"\"><img src=\"../images/a.jpg\"><img src=\"../images/"
      "a.jpg\" alt=\"ok\"><img src=\"other.jpg\">",
      Find, {"S", false}, &missing);
  EXPECT_EQ(missing, (std::vector<std::string>{"../images/a.jpg", "../images/a.jpg"}));
  EXPECT_EQ(html.find("fetchpriority"), std::string::npos) << html;

  // A feed's addresses are absolute, and so are its variants'.
  html = PictureMarkup::Rewrite("<img src=\"https://b.example/images/a.jpg\" alt=\"a\">", Find,
                                {"S", false});
  EXPECT_NE(html.find("srcset=\"https://b.example/images/a.480.avif 480w, "
                      "https://b.example/images/a.1600.avif 1600w\""),
            std::string::npos)
      << html;
}

TEST(PictureMarkupTest, AttributeReadsQuotedAndBareValues) {
  std::string value;
  const char* tag = "<img SRC = \"a b.jpg\" alt='it''s' data-x=1 hidden>";
  EXPECT_TRUE(PictureMarkup::Attribute(tag, "src", &value));
  EXPECT_EQ(value, "a b.jpg");
  EXPECT_TRUE(PictureMarkup::Attribute(tag, "alt", &value));
  EXPECT_EQ(value, "it");
  EXPECT_TRUE(PictureMarkup::Attribute(tag, "data-x", &value));
  EXPECT_EQ(value, "1");
  EXPECT_TRUE(PictureMarkup::Attribute(tag, "hidden", &value));
  EXPECT_EQ(value, "");
  EXPECT_FALSE(PictureMarkup::Attribute(tag, "width", &value));
}

}  // namespace
}  // namespace tarn
