#include "check/site_check.h"

#include <filesystem>

#include "check/external_links.h"
#include "check/page_weight.h"
#include "check/post_checks.h"
#include "check/stylesheet_fonts.h"
#include "data/text_file.h"
#include "render/markdown_pages.h"
#include "render/site_config.h"

namespace tarn {
namespace fs = std::filesystem;
namespace {

using Severity = CheckProblem::Severity;

std::string Shown(const std::string& page) {
  return std::string(Workspace::kPublicDir) + "/" + page;
}

// The newest modification time of a file in folder (and below); min() for
// none.
fs::file_time_type Newest(const std::string& folder) {
  fs::file_time_type newest = fs::file_time_type::min();
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code time_ec;
    fs::file_time_type time = it->last_write_time(time_ec);
    if (!time_ec && time > newest) newest = time;
  }
  return newest;
}

bool IsHtml(const std::string& name) {
  return name.size() > 5 && (name.ends_with(".html") || name.ends_with(".htm"));
}

}  // namespace

bool SiteCheck::NeedsBuild(const Workspace& workspace, const std::string& theme_dir) {
  std::error_code ec;
  fs::file_time_type built = fs::last_write_time(workspace.PublicPath("database.json"), ec);
  if (ec) return true;
  for (const std::string& folder : {workspace.posts_dir(), workspace.pages_dir(),
                                    workspace.config_dir(), workspace.static_dir(), theme_dir})
    if (Newest(folder) > built) return true;
  return false;
}

void SiteCheck::ReadPages() {
  std::string root = workspace_.public_dir();
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name == ".git") {
      it.disable_recursion_pending();
      continue;
    }
    if (!it->is_regular_file() || it->is_symlink() || !IsHtml(name)) continue;
    std::string relative = it->path().lexically_relative(root).generic_string();
    std::string text;
    Page page;
    if (ReadTextFile(it->path().string(), &text, nullptr)) page.scan = PageScan::Of(text);
    page.bytes = static_cast<std::int64_t>(text.size());
    pages_.emplace(relative, std::move(page));
  }
}

void SiteCheck::ReadSources(const PostChecks& posts) {
  for (const PostFile& post : posts.published())
    sources_[post.ArticleFile()] = PostChecks::SourceOf(post);
  DiagnosticSink quiet = [](const std::string&) {};
  for (PostFile& page : PostIndex::Scan(workspace_.pages_dir(), quiet)) {
    if (page.draft) continue;
    std::string why;
    std::string output = MarkdownPages::OutputOf(
        page.slug, page.has_front ? page.front.GetText("permalink") : "", &why);
    if (!output.empty()) sources_[output] = std::string(Workspace::kPagesDir) + "/" + page.name;
  }
}

CheckReport SiteCheck::Run(std::time_t now, const DiagnosticSink& sink) {
  SiteConfig config(workspace_.root());
  config.Load(sink);
  config.LoadTheme(sink);
  resolver_ = LinkResolver(config.Setting("system.url"));
  budget_kb_ = config.theme().Exists("check.pageBudgetKB")
                   ? config.theme().GetInt64("check.pageBudgetKB")
                   : PageWeight::kDefaultBudgetKB;
  PostChecks posts(workspace_);
  ReadPages();
  ReadSources(posts);
  CheckReport report;
  for (const auto& [path, page] : pages_) CheckPage(path, page, &report);
  if (external_timeout_ms_ > 0) CheckExternal(now, &report);
  posts.Check(now, &report);
  return report;
}

void SiteCheck::CheckPage(const std::string& path, const Page& page, CheckReport* report) {
  CheckLinks(path, page, report);
  if (page.scan.redirect) return;
  CheckStructure(path, page, report);
  CheckWeight(path, page, report);
}

void SiteCheck::Problem(CheckReport* report, const std::string& path, Severity severity,
                        const char* kind, const std::string& message,
                        const std::string& target) const {
  auto source = sources_.find(path);
  report->Add(Shown(path), source == sources_.end() ? "" : source->second,
              {severity, kind, message, target});
}

void SiteCheck::CheckStructure(const std::string& path, const Page& page,
                               CheckReport* report) const {
  const PageScan& scan = page.scan;
  for (int line : scan.images_without_alt)
    Problem(report, path, Severity::kWarning, "missing-alt",
            "line " + std::to_string(line) + ": an image without alt text", "");
  if (scan.titles != 1)
    Problem(report, path, Severity::kWarning, "title",
            scan.titles ? "the page has " + std::to_string(scan.titles) + " <title> elements"
                        : "the page has no <title>",
            "");
  if (!scan.description)
    Problem(report, path, Severity::kWarning, "description",
            "the page has no <meta name=\"description\">", "");
  if (scan.h1s != 1)
    Problem(report, path, Severity::kWarning, "h1",
            scan.h1s ? "the page has " + std::to_string(scan.h1s) + " <h1> headings"
                     : "the page has no <h1> heading",
            "");
  for (const auto& [skip, line] : scan.heading_skips)
    Problem(report, path, Severity::kWarning, "heading-skip",
            "line " + std::to_string(line) + ": the heading levels skip one (" + skip + ")", "");
}

std::int64_t SiteCheck::SizeOf(std::string* file) const {
  std::error_code ec;
  fs::path path = workspace_.PublicPath(*file);
  if (fs::is_directory(fs::symlink_status(path, ec))) {
    *file += "/index.html";
    path = workspace_.PublicPath(*file);
  }
  fs::file_status status = fs::symlink_status(path, ec);
  if (ec || !fs::is_regular_file(status)) return -1;
  std::uintmax_t size = fs::file_size(path, ec);
  return ec ? -1 : static_cast<std::int64_t>(size);
}

void SiteCheck::CheckLinks(const std::string& path, const Page& page, CheckReport* report) {
  for (const PageScan::Link& link : page.scan.links) {
    LinkTarget target = resolver_.Resolve(path, link.url);
    if (target.kind == LinkTarget::Kind::kExternal && external_timeout_ms_ > 0 &&
        (target.url.starts_with("http://") || target.url.starts_with("https://")))
      external_[target.url].push_back({path, link.url, link.line});
    if (target.kind != LinkTarget::Kind::kInternal) continue;
    std::string where = "line " + std::to_string(link.line) + ": ";
    if (SizeOf(&target.file) < 0) {
      Problem(report, path, Severity::kError, link.image ? "missing-image" : "broken-link",
              where + (link.image ? "the image \"" : "the link \"") + link.url + "\" leads to " +
                  Shown(target.file) + ", which the build did not write",
              link.url);
      continue;
    }
    if (target.fragment.empty() || !IsHtml(target.file)) continue;
    auto linked = pages_.find(target.file);
    if (linked != pages_.end() && !linked->second.scan.ids.count(target.fragment))
      Problem(report, path, Severity::kError, "broken-fragment",
              where + "the link \"" + link.url + "\" names #" + target.fragment + ", but " +
                  Shown(target.file) + " has no such id",
              link.url);
  }
}

void SiteCheck::AddFonts(const std::string& stylesheet, PageWeight* weight) const {
  std::string css;
  if (!ReadTextFile(workspace_.PublicPath(stylesheet), &css)) return;
  for (const std::string& url : StylesheetFonts::Of(css)) {
    LinkTarget font = resolver_.Resolve(stylesheet, url);
    if (font.kind != LinkTarget::Kind::kInternal) continue;
    std::int64_t bytes = SizeOf(&font.file);
    if (bytes >= 0) weight->Add(font.file, bytes, 0);
  }
}

void SiteCheck::CheckWeight(const std::string& path, const Page& page, CheckReport* report) const {
  PageWeight weight(page.bytes);
  for (const PageScan::Resource& resource : page.scan.resources) {
    LinkTarget target = resolver_.Resolve(path, resource.url);
    if (target.kind != LinkTarget::Kind::kInternal) continue;
    std::int64_t bytes = SizeOf(&target.file);
    if (bytes < 0) continue;
    weight.Add(target.file, bytes, resource.group);
    if (resource.stylesheet) AddFonts(target.file, &weight);
  }
  std::int64_t total_kb = (weight.total() + 1023) / 1024;
  if (total_kb <= budget_kb_) return;
  std::string heaviest;
  for (const auto& [file, bytes] : weight.Heaviest(3))
    heaviest += (heaviest.empty() ? "" : ", ") + file + " (" +
                std::to_string((bytes + 1023) / 1024) + " KB)";
  Problem(report, path, Severity::kWarning, "page-weight",
          "the page weighs " + std::to_string(total_kb) + " KB with what it loads, over the " +
              "theme's budget of " + std::to_string(budget_kb_) +
              " KB; heaviest: " + (heaviest.empty() ? "the page itself" : heaviest),
          "");
}

void SiteCheck::CheckExternal(std::time_t now, CheckReport* report) const {
  std::vector<std::string> urls;
  for (const auto& [url, refs] : external_) urls.push_back(url);
  ExternalLinks links(workspace_, external_timeout_ms_);
  for (const auto& [url, answer] : links.Check(urls, now)) {
    for (const ExternalRef& ref : external_.at(url)) {
      std::string where = "line " + std::to_string(ref.line) + ": the link \"" + ref.link + "\" ";
      std::string status = "HTTP " + std::to_string(answer.status);
      if (answer.status >= 400)
        Problem(report, ref.page, Severity::kError, "broken-external", where + "answers " + status,
                url);
      else if (answer.status >= 300)
        Problem(report, ref.page, Severity::kWarning, "redirect",
                where + "redirects (" + status + ") to " +
                    (answer.location.empty() ? "an address it does not name" : answer.location),
                url);
      else if (answer.status == 0)
        Problem(report, ref.page, Severity::kWarning, "external-unreachable",
                where + "could not be checked: " + answer.error, url);
    }
  }
}

}  // namespace tarn
