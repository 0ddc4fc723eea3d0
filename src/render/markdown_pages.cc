#include "render/markdown_pages.h"

#include <algorithm>
#include <string>

#include "render/alias_pages.h"
#include "render/heading_anchors.h"
#include "render/post_conversion.h"
#include "render/rendered_html.h"
#include "render/site_render.h"

namespace tarn {
namespace {

constexpr char kNotWritten[] = "the pages of _pages/ are not written";

// One run over the pages: the template with its layout resolved, the
// pages' own conversion on the build's host (pages are few; the posts'
// converter and its cache stay the posts'), and the page's data.
struct Run {
  std::string path;
  std::string page;
  JsonDocument data = JsonDocument::NewObject();
};

// page.mtpl, else post.mtpl, its layout resolved; false, reported, when
// there is neither or it cannot be resolved.
bool Prepare(SiteRender& site, Run* run) {
  std::string text;
  std::string error;
  if (!site.ReadTemplate("page", &run->path, &text, &error) &&
      !site.ReadTemplate("post", &run->path, &text, &error)) {
    site.Fail(error + " (the theme has neither page.mtpl nor post.mtpl; " + kNotWritten + ")");
    return false;
  }
  bool ok = true;
  run->page = site.engine().ResolveInheritance(text, run->path, &ok);
  if (!ok) site.Fail(run->path + ": renders to empty text (" + kNotWritten + ")");
  return ok;
}

// The page's HTML as it shows it, with heading ids and *toc as an
// article's; false, reported, when it does not convert.
bool PageHtml(SiteRender& site, PostConversion& html, std::size_t index, int depth,
              std::string* out, std::string* toc) {
  const PostFile& page = site.pages()[index];
  std::string storage;
  std::string_view converted;
  std::string error;
  if (!html.Get(index, &storage, &converted, &error)) {
    site.Fail(page.path + ": markToHtml failed: " + error + " (the page is not written)");
    return false;
  }
  if (site.features().maths_at_build) {
    for (const std::string& reason : RenderedHtml::FormulaErrors(converted))
      site.Report(page.path + ": a formula does not parse (" + reason +
                  "); the page shows the formula as written, marked in red");
  }
  *out = depth == 1 ? std::string(converted)
                    : MarkdownPages::RebaseLinks(converted, SiteRender::RootPath(depth));
  if (site.features().Any()) *out = HeadingAnchors::Add(*out, toc);
  return true;
}

// Renders pages()[index] into output. False, reported, when it is not
// written.
bool Render(SiteRender& site, PostConversion& html, std::size_t index, const std::string& output,
            Run* run) {
  const PostFile& page = site.pages()[index];
  const int depth = static_cast<int>(std::count(output.begin(), output.end(), '/'));
  std::string body;
  std::string toc;
  if (!PageHtml(site, html, index, depth, &body, &toc)) return false;
  const PostView& view = site.view();
  view.SetHead(page, &run->data);
  view.SetAddress(output, &run->data);
  view.SetBody(page, body, &run->data);
  if (site.features().maths_at_build) view.SetHasMath(body, &run->data);
  view.LinkTerms(page, false, false, &run->data);
  if (site.features().Any()) run->data.SetText("post.toc", toc);
  std::string text = site.engine().Expand(run->page, site.PageView(&run->data, depth), run->path);
  if (text.empty()) {
    site.Fail(run->path + ": renders to empty text for " + page.path);
    return false;
  }
  if (!site.out().MakeFoldersFor(output) || !site.out().Write(output, text)) return false;
  site.out().Listed(output, page.update_time);
  return true;
}

// Where pages()[index] goes; "" after reporting why it does not.
std::string Usable(SiteRender& site, const PostFile& page) {
  std::string permalink = page.has_front ? page.front.GetText("permalink") : "";
  std::string why;
  std::string output = MarkdownPages::OutputOf(page.slug, permalink, &why);
  if (!output.empty()) why = AliasPages::Clash(site, output);
  if (why.empty()) return output;
  std::string named = permalink.empty() ? "its address" : "permalink \"" + permalink + "\"";
  site.Fail(page.path + ": " + named + " " + why + "; the page is not written");
  return "";
}

// Writes the pages, noting each in site.written_pages().
void WriteAll(SiteRender& site) {
  const std::vector<PostFile>& pages = site.pages();
  Run run;
  if (pages.empty() || !Prepare(site, &run)) return;
  PostConversion html(site.html().host(), nullptr, &pages);
  const ThemeFeatures& features = site.features();
  html.RenderWhileConverting(features.code_at_build, features.maths_at_build,
                             [&site](const std::string& message) { site.Report(message); });
  std::string why;
  if (!html.CanConvert(&why)) {
    site.Fail(why + ": " + kNotWritten);
    return;
  }
  for (std::size_t index = 0; index < pages.size(); ++index) {
    std::string output = Usable(site, pages[index]);
    if (!output.empty() && Render(site, html, index, output, &run))
      site.written_pages().emplace_back(&pages[index], output);
  }
}

}  // namespace

std::string MarkdownPages::OutputOf(std::string_view slug, std::string_view permalink,
                                    std::string* why) {
  if (!permalink.empty()) return AliasPages::OutputOf(permalink, why);
  return AliasPages::OutputOf("/" + std::string(slug) + "/", why);
}

bool MarkdownPages::Write(SiteRender& site) {
  WriteAll(site);
  std::vector<std::string> written;
  for (const SiteRender::WrittenPage& page : site.written_pages()) written.push_back(page.second);
  // Pages deleted, moved to another address or made drafts since the last
  // build: their files would still be published.
  for (const std::string& earlier : site.out().earlier_pages()) site.out().RemoveLeftover(earlier);
  site.out().set_pages(std::move(written));
  return true;
}

std::string MarkdownPages::RebaseLinks(std::string_view html, std::string_view root_path) {
  static constexpr std::string_view kAttributes[] = {"href=\"../", "src=\"../"};
  std::string out;
  out.reserve(html.size());
  std::size_t at = 0;
  while (at < html.size()) {
    std::size_t next = std::string_view::npos;
    std::string_view found;
    for (std::string_view attribute : kAttributes) {
      std::size_t hit = html.find(attribute, at);
      if (hit < next) {
        next = hit;
        found = attribute;
      }
    }
    if (next == std::string_view::npos) break;
    std::size_t value = next + found.size() - 3;  // at "../"
    out.append(html.substr(at, value - at));
    out.append(root_path);
    out += '/';
    at = value + 3;
  }
  out.append(html.substr(at));
  return out;
}

}  // namespace tarn
