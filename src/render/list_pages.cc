#include "render/list_pages.h"

#include <algorithm>
#include <ctime>
#include <set>
#include <string>

#include "content/clock.h"
#include "render/site_render.h"

namespace tarn {
namespace {

std::string IndexPagePath(int page) {
  return page == 1 ? "index.html" : "page/" + std::to_string(page) + "/index.html";
}

int PageCount(SiteRender& site) {
  int n = static_cast<int>(site.posts().size());
  int per = site.features().paginate;
  return std::max(1, (n + per - 1) / per);
}

// Page `page` of `total` of the paginated index into *html, noted for the
// sitemap unless it renders empty. False when public/ holds it already
// (SiteRender::RenderPage).
bool RenderIndexPage(SiteRender& site, const std::string& text, const std::string& path, int page,
                     int total, std::string* html) {
  const std::vector<PostFile>& posts = site.posts();
  int per = site.features().paginate;
  int end = std::min(static_cast<int>(posts.size()), page * per);
  JsonDocument overlay = JsonDocument::NewObject();
  overlay.SetEmptyArray("posts");
  std::vector<int> shown;
  for (int i = (page - 1) * per; i < end; ++i) shown.push_back(i);
  site.LendListRecords(shown, &overlay, "posts");
  int depth = page == 1 ? 0 : 2;
  overlay.SetInt("pager.current", page);
  overlay.SetInt("pager.total", total);
  overlay.SetText("pager.prev_url", page > 1 ? site.PageLink(IndexPagePath(page - 1), depth) : "");
  overlay.SetText("pager.next_url",
                  page < total ? site.PageLink(IndexPagePath(page + 1), depth) : "");
  bool fresh =
      site.RenderPage(IndexPagePath(page), text, site.PageView(&overlay, depth), path, html);
  site.ReturnListRecords(shown, &overlay, "posts");
  if (!fresh || !html->empty()) site.out().Listed(IndexPagePath(page), site.NewestUpdate(shown));
  return fresh;
}

// Writes the theme's page NAME.mtpl over all posts (the first index page
// only when paginated), unless public/ holds it already. False when it is
// missing (the reason names what the theme needs) or renders empty.
bool WritePostList(SiteRender& site, const std::string& name, const std::string& what,
                   bool paginated) {
  std::string path;
  std::string text;
  std::string error;
  if (!site.ReadTemplate(name, &path, &text, &error)) {
    site.Report(error + " (the theme needs " + what + ")");
    return false;
  }
  // Each list page shows when it was made.
  site.data().SetText("create_time", PostIndex::FormatCreateTime(Clock::Now()));
  const std::string file = name + ".html";
  std::string html;
  bool fresh = true;
  if (paginated && site.features().paginate > 0) {
    fresh = RenderIndexPage(site, text, path, 1, PageCount(site), &html);
  } else {
    JsonDocument overlay;
    fresh = site.RenderPage(file, text, site.PageView(&overlay, 0), path, &html);
    site.out().Listed(file, site.NewestUpdate());
  }
  if (!fresh) return true;
  if (html.empty()) {
    site.Report(path + ": renders to empty text");
    return false;
  }
  site.out().Write(file, html);
  return true;
}

// Index pages 2.. of a paginated theme; removes those of earlier builds
// beyond the last.
void WriteLaterIndexPages(SiteRender& site) {
  std::set<std::string> keep;
  std::string path;
  std::string text;
  std::string error;
  if (site.features().paginate > 0 && site.ReadTemplate("index", &path, &text, &error)) {
    int total = PageCount(site);
    for (int page = 2; page <= total; ++page) {
      std::string html;
      const std::string out = IndexPagePath(page);
      if (RenderIndexPage(site, text, path, page, total, &html)) {
        if (html.empty()) {
          site.Fail(path + ": renders to empty text for page " + std::to_string(page));
          continue;
        }
        if (!site.out().MakeFoldersFor(out)) continue;
        site.out().Write(out, html);
      }
      keep.insert(std::to_string(page));
    }
  }
  if (site.features().Any()) site.out().RemoveStalePages("page", keep);
}

}  // namespace

bool ListPages::WriteIndex(SiteRender& site) {
  if (!WritePostList(site, "index", "an index page", true)) return false;
  WriteLaterIndexPages(site);
  return true;
}

bool ListPages::WriteTimeline(SiteRender& site) {
  return WritePostList(site, "timeline", "a timeline page", false);
}

}  // namespace tarn
