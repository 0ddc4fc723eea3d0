// ListPages: the pages that list the posts. index.html from the theme's
// index.mtpl (every post, or with "paginate": N the first N, and the rest
// as public/page/K/index.html with a pager), and timeline.html from
// timeline.mtpl (every post, by month).
//
// A paginated page's own list (posts, pager.current, pager.total,
// pager.prev_url, pager.next_url) shadows the site data's; its records
// leave out the posts' Markdown. Pages of an earlier build beyond the last
// one are removed.
//
// Thread safety: the build's thread.
#pragma once

namespace tarn {

class SiteRender;

class ListPages {
 public:
  // index.html and the pages after it. False, reported, when index.mtpl is
  // missing or renders to empty text: the build cannot go on.
  static bool WriteIndex(SiteRender& site);
  // timeline.html. False, reported, as WriteIndex.
  static bool WriteTimeline(SiteRender& site);
};

}  // namespace tarn
