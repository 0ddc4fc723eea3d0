#include "render/taxonomy_pages.h"

#include <set>
#include <string>

#include "content/taxonomy.h"
#include "render/feed_builder.h"
#include "render/site_render.h"

namespace tarn {
namespace {

// One kind of term: the posts' list, the folder under public/ and the
// templates of one term's page and of the list of all.
struct Kind {
  const std::vector<std::string> PostFile::*names;
  const char* folder;  // also the list's member name
  const char* one;
  const char* all;
};

// The page of each group, from one.mtpl (its layout resolved into page).
// Returns the folders written.
std::set<std::string> WriteTermPages(SiteRender& site, const Kind& kind, const Taxonomy& taxonomy,
                                     const std::string& page, const std::string& path) {
  std::set<std::string> keep;
  const std::string one = kind.one;
  for (const Taxonomy::Group& group : taxonomy.groups()) {
    JsonDocument overlay = JsonDocument::NewObject();
    overlay.SetText(one + ".name", group.name);
    overlay.SetInt(one + ".count", static_cast<int>(group.posts.size()));
    overlay.SetEmptyArray(one + ".posts");
    site.LendListRecords(group.posts, &overlay, one + ".posts");
    const std::string link_folder =
        std::string(kind.folder) + "/" + PostIndex::LinkName(group.folder);
    TemplateData view = site.PageView(&overlay, 2);
    // The site's feeds, and the term's own beside its page.
    overlay.SetText("feedLinks", FeedBuilder::Links(site.features(), SiteRender::RootPath(2),
                                                    link_folder, group.name));
    const std::string relative = std::string(kind.folder) + "/" + group.folder + "/index.html";
    std::string html;
    const bool fresh = site.ExpandPage(relative, page, view, path, &html);
    site.ReturnListRecords(group.posts, &overlay, one + ".posts");
    if (fresh) {
      if (html.empty()) {
        site.Report(path + ": renders to empty text for \"" + group.name + "\"");
        continue;
      }
      if (!site.out().MakeFoldersFor(relative)) continue;
      site.out().Write(relative, html);
    }
    site.out().Listed(relative, site.NewestUpdate(group.posts));
    FeedBuilder::WriteTermFeeds(site, std::string(kind.folder) + "/" + group.folder, link_folder,
                                group.name, group.posts);
    keep.insert(group.folder);
  }
  return keep;
}

// The list of all groups from all.mtpl; removed when the theme has none.
// linked: the groups have pages to link to.
void WriteListPage(SiteRender& site, const Kind& kind, const Taxonomy& taxonomy, bool linked) {
  std::string list_page = std::string(kind.folder) + "/index.html";
  std::string path;
  std::string text;
  std::string error;
  if (!site.ReadTemplate(kind.all, &path, &text, &error)) {
    site.out().RemoveFile(list_page);
    return;
  }
  JsonDocument overlay = JsonDocument::NewObject();
  overlay.SetEmptyArray(kind.all);
  for (const Taxonomy::Group& group : taxonomy.groups()) {
    JsonDocument entry = JsonDocument::NewObject();
    entry.SetText("name", group.name);
    entry.SetInt("count", static_cast<int>(group.posts.size()));
    entry.SetText("url", linked ? site.view().TermPageLink(kind.folder, group.folder) : "");
    overlay.Append(kind.all, std::move(entry));
  }
  std::string html;
  if (site.RenderPage(list_page, text, site.PageView(&overlay, 1), path, &html)) {
    if (html.empty()) {
      site.Report(path + ": renders to empty text; page skipped");
      return;
    }
    if (!site.out().MakeFoldersFor(list_page)) return;
    site.out().Write(list_page, html);
  }
  site.out().Listed(list_page, site.NewestUpdate());
}

void WriteKind(SiteRender& site, const Kind& kind) {
  Taxonomy taxonomy(site.posts(), kind.names);
  std::string path;
  std::string text;
  std::string error;
  bool ok = false;
  std::string page;
  if (site.ReadTemplate(kind.one, &path, &text, &error))
    page = site.engine().ResolveInheritance(text, path, &ok);
  std::set<std::string> keep;
  if (ok) keep = WriteTermPages(site, kind, taxonomy, page, path);
  site.out().RemoveStalePages(kind.folder, keep);
  WriteListPage(site, kind, taxonomy, ok);
}

}  // namespace

bool TaxonomyPages::Write(SiteRender& site) {
  if (!site.features().Any()) return true;
  WriteKind(site, {&PostFile::tags, "tags", "tag", "tags"});
  WriteKind(site, {&PostFile::categories, "categories", "category", "categories"});
  return true;
}

}  // namespace tarn
