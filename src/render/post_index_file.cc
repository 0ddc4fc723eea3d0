#include "render/post_index_file.h"

#include <algorithm>
#include <climits>
#include <ctime>

#include "content/clock.h"
#include "content/post_summary.h"
#include "render/site_render.h"

namespace tarn {
namespace {

constexpr char kFile[] = "database.json";

// Fills in the excerpts of posts with a "<!-- more -->" line and, when the
// theme asks for summaries, of the others. A post that does not convert is
// reported with its article page.
void ConvertExcerpts(SiteRender& site) {
  const bool summaries = site.config().features().summary;
  std::vector<PostFile>& posts = site.mutable_posts();
  for (std::size_t i = 0; i < posts.size(); ++i) {
    PostFile& post = posts[i];
    // Only posts with front matter carry an excerpt (PostView).
    if ((!post.has_more && !(summaries && post.has_front)) || !post.excerpt.empty()) continue;
    std::string storage;
    std::string_view html;
    std::string error;
    if (!site.html().Get(i, &storage, &html, &error)) continue;
    post.excerpt = post.has_more ? PostIndex::ExcerptOf(html) : PostSummary::Of(html);
    if (post.has_more && site.images().Marks())
      post.excerpt =
          site.images().Markup(site, post, post.excerpt, ResponsiveImages::Place::kExcerpt);
  }
}

// The index as compact JSON text. Every post's text is in it twice (posts
// and timeline), a little longer once escaped; reserving that up front
// spares the doubling growth of a text this large, which at ten thousand
// posts held a quarter of a gigabyte for a 140 MB index.
std::string IndexText(SiteRender& site) {
  std::size_t estimate = 64 * 1024;
  for (const PostFile& post : site.posts()) estimate += 2 * (post.content.size() * 5 / 4 + 512);
  return site.data().ToText("", false, true,
                            static_cast<int>(std::min<std::size_t>(estimate, INT_MAX)));
}

}  // namespace

bool PostIndexFile::Write(SiteRender& site) {
  site.out().Generated(kFile);
  bool allowed = site.out().Allowed(kFile);
  ConvertExcerpts(site);
  PostIndex::Fill(&site.data(), site.posts(), site.config().url_prefix(), Clock::Now());
  if (allowed) site.out().WriteLater(&site.index_writer(), kFile, IndexText(site));
  return true;
}

}  // namespace tarn
