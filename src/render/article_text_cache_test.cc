#include "render/article_text_cache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "render/heading_anchors.h"
#include "render/rendered_html.h"
#include "render/search_index.h"
#include "support/temp_dir.h"

namespace tarn {
namespace {

constexpr char kFirst[] = "<h2>One</h2><p>a &amp; b</p><h3>Two</h3><p>text</p>";
constexpr char kEdited[] = "<h2>One</h2><p>a &amp; b</p><h2>Three</h2><h3 id=\"own\">Two</h3>";
// A typeset formula: its plain text reads the TeX when formulas are typeset
// at build, KaTeX's markup otherwise.
constexpr char kFormula[] =
    "<h2>x</h2><p><span class=\"katex\"><span class=\"katex-mathml\"><math><semantics><mrow>"
    "<mi>x</mi></mrow><annotation encoding=\"application/x-tex\">x^2</annotation></semantics>"
    "</math></span><span class=\"katex-html\">x2</span></span></p><h2>y</h2>";

ThemeFeatures Features(bool search, bool maths) {
  ThemeFeatures features;
  features.search = search;
  features.maths_at_build = maths;
  features.paginate = 10;
  return features;
}

// What the article's page and the search index get without a cache.
ArticleTextCache::Made Direct(std::string_view html, const ThemeFeatures& features) {
  ArticleTextCache::Made made;
  made.html = HeadingAnchors::Add(html, &made.toc);
  if (features.search) {
    made.text = SearchIndex::PlainText(
        features.maths_at_build ? RenderedHtml::Unrendered(html) : html, SearchIndex::kTextLength);
  }
  return made;
}

void ExpectMade(const ArticleTextCache::Made& made, std::string_view html,
                const ThemeFeatures& features) {
  ArticleTextCache::Made want = Direct(html, features);
  EXPECT_EQ(made.html, want.html);
  EXPECT_EQ(made.toc, want.toc);
  EXPECT_EQ(made.text, want.text);
}

// One build: the cache at path under features and scripts, asked for each
// html in turn, by the HTML itself or (converted) by a key of the text it
// stands converted from; returns how many it answered. Notes go into *notes.
std::size_t Build(const std::string& path, const ThemeFeatures& features,
                  const std::vector<std::string>& htmls, std::vector<std::string>* notes,
                  bool converted = false, const std::string& scripts = "scripts") {
  ArticleTextCache cache(path, features, scripts,
                         [notes](const std::string& m) { notes->push_back(m); });
  for (const std::string& html : htmls) {
    ConversionCache::Key from = ConversionCache::KeyOf("Markdown of " + html);
    ExpectMade(cache.Of(html, converted ? &from : nullptr), html, features);
  }
  EXPECT_TRUE(cache.Save());
  return cache.reused();
}

TEST(ArticleTextCacheTest, ReusesOnlyWhatTheSameHtmlAndFeaturesMade) {
  const ThemeFeatures plain = Features(true, false);
  const struct {
    const char* name;
    ThemeFeatures first, second;
    std::vector<std::string> then;
    std::size_t reused;
    const char* scripts;  // of the second build
  } kCases[] = {
      {"the same articles", plain, plain, {kFirst, kFormula}, 2, "scripts"},
      // The headings changed while the cache holds the old ones.
      {"an edited article", plain, plain, {kEdited, kFormula}, 1, "scripts"},
      {"search turned on", Features(false, false), plain, {kFirst, kFormula}, 0, "scripts"},
      {"formulas typeset at build", plain, Features(true, true), {kFirst, kFormula}, 0, "scripts"},
      {"other scripts", plain, plain, {kFirst, kFormula}, 0, "new scripts"},
  };
  for (bool converted : {false, true}) {
    for (const auto& c : kCases) {
      SCOPED_TRACE(std::string(c.name) + (converted ? ", converted" : ", by its HTML"));
      TempDir dir;
      const std::string path = (dir / "cache.bin").string();
      std::vector<std::string> notes;
      EXPECT_EQ(Build(path, c.first, {kFirst, kFormula}, &notes, converted), 0u);
      EXPECT_EQ(Build(path, c.second, c.then, &notes, converted, c.scripts), c.reused);
      EXPECT_TRUE(notes.empty());
    }
  }
  // An entry keyed by the HTML is not one keyed by the text converted.
  TempDir dir;
  const std::string path = (dir / "cache.bin").string();
  std::vector<std::string> notes;
  Build(path, plain, {kFirst}, &notes, false);
  EXPECT_EQ(Build(path, plain, {kFirst}, &notes, true), 0u);
}

TEST(ArticleTextCacheTest, ADamagedOrForeignFileIsRebuiltAndNoPathWritesNone) {
  const ThemeFeatures features = Features(true, false);
  const struct {
    const char* name;
    std::string bytes;  // the file before the build
    bool noted;
  } kCases[] = {
      {"not a cache file", "PK\x03\x04 anything", true},
      {"empty", "", true},
      {"a Markdown cache of the same format", "", false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = (dir / "cache.bin").string();
    std::vector<std::string> notes;
    if (c.noted) {
      dir.Write("cache.bin", c.bytes);
    } else {
      ConversionCache markdown(path, "scripts");
      markdown.Put(ConversionCache::KeyOf(kFirst), "<p>not the article's text</p>");
      ASSERT_TRUE(markdown.Save(nullptr));
    }
    EXPECT_EQ(Build(path, features, {kFirst}, &notes), 0u);
    EXPECT_EQ(notes.size(), c.noted ? 1u : 0u);
    EXPECT_EQ(Build(path, features, {kFirst}, &notes), 1u);  // rewritten whole
  }
  TempDir dir;
  std::vector<std::string> notes;
  EXPECT_EQ(Build("", features, {kFirst}, &notes), 0u);
  EXPECT_EQ(Build("", features, {kFirst}, &notes), 0u);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace tarn
