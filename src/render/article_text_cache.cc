#include "render/article_text_cache.h"

#include <cstdint>
#include <utility>

#include "data/byte_reader.h"
#include "render/heading_anchors.h"
#include "render/rendered_html.h"
#include "render/search_index.h"
#include "workspace/workspace.h"

namespace tarn {
namespace {

// Goes before the converter's key in what an entry keyed by it hashes: an
// article's HTML hashed to the same key would have to be these bytes, a
// NUL first, followed by 32 bytes of a digest.
constexpr char kConvertedMark[] = "\0tarn: converted from the text with the key ";

}  // namespace

ArticleTextCache::ArticleTextCache(std::string path, const ThemeFeatures& features,
                                   const std::string& scripts_digest, DiagnosticSink sink)
    : store_(std::move(path), Digest(features, scripts_digest), "heading and search text cache",
             "the articles after it are read again"),
      sink_(std::move(sink)),
      search_(features.search),
      unrendered_(features.code_at_build || features.maths_at_build) {}

std::string ArticleTextCache::Digest(const ThemeFeatures& features,
                                     const std::string& scripts_digest) {
  return "tarn article text " + std::to_string(kVersion) +
         "; search: " + (features.search ? "yes" : "no") +
         "; code at build: " + (features.code_at_build ? "yes" : "no") +
         "; formulas at build: " + (features.maths_at_build ? "yes" : "no") +
         "; text length: " + std::to_string(SearchIndex::kTextLength) +
         "; scripts: " + scripts_digest;
}

std::string ArticleTextCache::PathIn(const std::string& root) {
  return Workspace(root).StatePath("article-text-cache.bin");
}

ArticleTextCache::Made ArticleTextCache::Of(std::string_view html,
                                            const ConversionCache::Key* converted_from) {
  if (!loaded_) {
    store_.Load(sink_);
    loaded_ = true;
  }
  ConversionCache::Key key;
  if (converted_from) {
    std::string source(kConvertedMark, sizeof kConvertedMark - 1);
    source.append(reinterpret_cast<const char*>(converted_from->data()), converted_from->size());
    key = ConversionCache::KeyOf(source);
  } else {
    key = ConversionCache::KeyOf(html);
  }
  std::string_view value;
  Made made;
  if (store_.Find(key, &value) && Decode(html, value, &made)) {
    ++reused_;
    return made;
  }
  std::string stored;
  made = Make(html, &stored);
  store_.Put(key, std::move(stored));
  return made;
}

bool ArticleTextCache::Save() { return !loaded_ || store_.Save(sink_); }

ArticleTextCache::Made ArticleTextCache::Make(std::string_view html, std::string* value) const {
  Made made;
  if (search_) {
    made.text = SearchIndex::PlainText(unrendered_ ? RenderedHtml::Unrendered(html) : html,
                                       SearchIndex::kTextLength);
  }
  HeadingAnchors::Anchors anchors = HeadingAnchors::Find(html);
  made.html = HeadingAnchors::Insert(html, anchors);
  AppendSized(value, anchors.toc);
  AppendInt(value, static_cast<std::uint32_t>(anchors.ids.size()));
  for (const auto& [at, id] : anchors.ids) {
    AppendInt(value, static_cast<std::uint64_t>(at));
    AppendSized(value, id);
  }
  value->append(made.text);
  made.toc = std::move(anchors.toc);
  return made;
}

bool ArticleTextCache::Decode(std::string_view html, std::string_view value, Made* made) const {
  ByteReader in(value);
  HeadingAnchors::Anchors anchors;
  std::uint32_t count = 0;
  std::string_view toc;
  if (!in.Sized(&toc) || !in.U32(&count)) return false;
  anchors.toc.assign(toc);
  // Each id takes at least 12 bytes: a count beyond that is damage.
  if (count > in.left() / 12) return false;
  anchors.ids.resize(count);
  std::uint64_t last = 0;
  for (auto& [at, id] : anchors.ids) {
    std::uint64_t where = 0;
    std::string_view text;
    if (!in.U64(&where) || where < last || where > html.size() || !in.Sized(&text)) return false;
    id.assign(text);
    at = static_cast<std::size_t>(where);
    last = where;
  }
  made->text.assign(in.rest());
  made->html = HeadingAnchors::Insert(html, anchors);
  made->toc = std::move(anchors.toc);
  return true;
}

}  // namespace tarn
