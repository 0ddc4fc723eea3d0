#include "render/article_pages.h"

#include <map>
#include <optional>
#include <set>
#include <string>

#include "render/article_text_cache.h"
#include "render/rendered_html.h"
#include "render/site_render.h"

namespace tarn {
namespace {

constexpr const char* kFolder = PostFile::kArticleFolder;
constexpr char kNotWritten[] = "no article pages are written";

// One run over the posts: post.mtpl with its layout resolved, and the
// page's own data, whose post.* each article fills in turn.
struct Articles {
  std::string path;  // post.mtpl
  std::string page;  // its text, layout resolved
  JsonDocument data;
  std::unique_ptr<OutputWriter> writer;
};

// False, reported, when no article page can be written: no markToHtml, a
// layout that cannot be read, an unusable articles folder.
bool Prepare(SiteRender& site, const std::string& text, Articles* run) {
  std::string why;
  if (!site.html().CanConvert(&why)) {
    site.Fail(why + ": article pages are not written");
    return false;
  }
  bool ok = true;
  run->page = site.engine().ResolveInheritance(text, run->path, &ok);
  if (!ok) {
    site.Report(run->path + ": renders to empty text (" + kNotWritten + ")");
    return false;
  }
  return site.out().MakeFolder(kFolder, "articles", kNotWritten);
}

// The post's HTML as its page shows it; false, reported, when it did not
// convert. Notes its plain text for the search index.
bool ArticleHtml(SiteRender& site, std::size_t index, std::string* storage, std::string_view* html,
                 std::string* toc) {
  const PostFile& post = site.posts()[index];
  std::string error;
  std::optional<ConversionCache::Key> converted_from;  // while html is the converter's
  if (!site.html().Get(index, storage, html, &error, &converted_from)) {
    site.Fail(post.path + ": markToHtml failed: " + error + " (its article page is not written)");
    return false;
  }
  if (site.images().Marks()) {
    *storage = site.images().Markup(site, post, *html, ResponsiveImages::Place::kArticle);
    *html = *storage;
    converted_from.reset();
  }
  const ThemeFeatures& features = site.features();
  // A formula that does not parse is reported by every build until it is
  // mended, its HTML cached or not.
  if (features.maths_at_build) {
    for (const std::string& reason : RenderedHtml::FormulaErrors(*html))
      site.Report(post.path + ": a formula does not parse (" + reason +
                  "); its page shows the formula as written, marked in red");
  }
  if (features.Any()) {
    ArticleTextCache::Made made =
        site.article_texts().Of(*html, converted_from ? &*converted_from : nullptr);
    if (features.search) {
      site.plain_texts().resize(site.posts().size());
      site.plain_texts()[index] = std::move(made.text);
    }
    *storage = std::move(made.html);
    *html = *storage;
    *toc = std::move(made.toc);
  }
  return true;
}

// Renders posts()[index] and queues its page. False, reported, when its
// page is not written.
bool Render(SiteRender& site, std::size_t index, Articles* run) {
  const PostFile& post = site.posts()[index];
  const PostView& view = site.view();
  view.SetHead(post, &run->data);
  std::string storage;
  std::string_view html;
  std::string toc;
  if (!ArticleHtml(site, index, &storage, &html, &toc)) return false;
  view.SetBody(post, html, &run->data);
  const ThemeFeatures& features = site.features();
  if (features.maths_at_build) view.SetHasMath(html, &run->data);
  // The page's data holds the HTML now: a long post is not kept once more
  // while its page renders.
  std::string().swap(storage);
  view.LinkTerms(post, features.tag_pages, features.category_pages, &run->data);
  if (features.Any()) run->data.SetText("post.toc", toc);
  const std::string file = post.ArticleFile();
  std::string page;
  if (site.ExpandPage(file, run->page, site.PageView(&run->data, 1), run->path, &page)) {
    if (page.empty()) {
      site.Report(run->path + ": renders to empty text for " + post.path);
      return false;
    }
    if (!site.out().WriteLater(run->writer.get(), file, std::move(page))) return false;
  }
  site.out().Listed(file, post.update_time);
  return true;
}

}  // namespace

bool ArticlePages::Write(SiteRender& site) {
  Articles run;
  std::string text;
  std::string error;
  if (!site.ReadTemplate("post", &run.path, &text, &error)) {
    site.Report(error + " (" + kNotWritten + ")");
    return true;
  }
  const std::vector<PostFile>& posts = site.posts();
  std::set<std::string> keep;
  if (!posts.empty()) {
    if (!Prepare(site, text, &run)) return true;
    // Converting started with the build; posts render as their HTML comes.
    site.html().Start();
    // The page's data starts from the site data's post.*, which the last
    // build's articles left there.
    run.data = JsonDocument::NewObject();
    if (site.data().GetType("post") == JsonDocument::kObject)
      run.data.SetObject("", "post", site.data().GetDocument("post"));
    run.writer = site.out().NewWriter();
    std::map<std::string, const PostFile*> by_slug;
    for (std::size_t index = 0; index < posts.size(); ++index) {
      const PostFile& post = posts[index];
      auto [it, fresh] = by_slug.emplace(post.slug, &post);
      if (!fresh) {
        site.Report(post.path + ": has the same article file as " + it->second->path + "; " +
                    post.ArticleFile() + " holds the later one");
        it->second = &post;
      }
      keep.insert(post.slug + ".html");
      Render(site, index, &run);
    }
    site.html().Finish();
    site.out().Flush(run.writer.get());
    site.data().SetObject("", "post", run.data.GetDocument("post"));
  }
  site.out().RemoveStaleFiles(kFolder, keep, "cannot remove the page of a deleted post");
  return true;
}

}  // namespace tarn
