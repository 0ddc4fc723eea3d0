// TaxonomyPages: a page per tag and per category, and a page listing them
// all, for a theme that has the templates: tag.mtpl renders
// public/tags/NAME/index.html (tag.name, tag.count, tag.posts), tags.mtpl
// public/tags/index.html (tags: name, count, url); category.mtpl and
// categories.mtpl the same under public/categories/.
//
// Names that differ only in case share a page (content/taxonomy.h), whose
// folder name is safe under public/ whatever the name. Pages of names no
// post has any more are removed, and so is the list page when its template
// is gone. A theme that asks for no extra pages gets none of this.
//
// Thread safety: the build's thread.
#pragma once

namespace tarn {

class SiteRender;

class TaxonomyPages {
 public:
  // Writes the tag and category pages. True; a page that renders to empty
  // text is reported and skipped.
  static bool Write(SiteRender& site);
};

}  // namespace tarn
