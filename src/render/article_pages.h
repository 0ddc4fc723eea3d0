// ArticlePages: one page per post, public/articles/SLUG.html, from the
// theme's post.mtpl, which sees the post as post.* (PostView): title, url,
// absolute_url, content (the Markdown converted to HTML), post_time,
// update_time and, for a post with front matter, its tags and categories
// (with links to their pages), description, excerpt and front. A theme
// that asks for pages beyond the three also gets ids on the article's
// headings and the table of contents in post.toc.
//
// post.mtpl's layout is resolved once for all posts; the pages go to disk
// on a writer of their own while the next ones render. Two posts with the
// same slug are reported (the later one's page is written); pages of posts
// that no longer exist are removed. Afterwards the site data holds the
// last post's post.*, for the pages that follow.
//
// Thread safety: the build's thread.
#pragma once

namespace tarn {

class SiteRender;

class ArticlePages {
 public:
  // Writes the pages. True; a theme without post.mtpl writes none, a post
  // that does not convert or cannot be written is reported and fails the
  // build, without stopping it.
  static bool Write(SiteRender& site);
};

}  // namespace tarn
