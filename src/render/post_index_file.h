// PostIndexFile: public/database.json, the post index (content/post_index.h)
// that also becomes the site data every later page of the build reads.
//
// Posts with a "<!-- more -->" line get their excerpt here, the HTML
// before it, so that the index and every list carry it. The index holds
// every post's text twice and is by far the largest file of the site: it
// is written on a writer of its own (SiteRender::index_writer) while the
// pages render.
//
// Thread safety: the build's thread.
#pragma once

namespace tarn {

class SiteRender;

class PostIndexFile {
 public:
  // Fills in the excerpts, puts the index into the site data and queues
  // database.json. True; a refused or unwritten file fails the build
  // (reported) without stopping it.
  static bool Write(SiteRender& site);
};

}  // namespace tarn
