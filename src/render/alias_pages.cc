#include "render/alias_pages.h"

#include <filesystem>
#include <utility>
#include <vector>

#include "content/post_index.h"
#include "data/markup_escape.h"
#include "render/site_render.h"

namespace tarn {
namespace {

std::string EscapeAttribute(std::string_view text) {
  return EscapeMarkup(text, MarkupSlot::kAttribute);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecode(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// What a folder of output's path already is: a file the build writes, or a
// file of static/ (copied after the aliases, and the blogger's own);
// "" when neither.
std::string TakenFolder(SiteRender& site, std::string_view output) {
  const Workspace& workspace = site.config().workspace();
  for (std::size_t slash = output.find('/'); slash != std::string_view::npos;
       slash = output.find('/', slash + 1)) {
    std::string folder(output.substr(0, slash));
    if (site.out().IsGenerated(folder)) return "public/" + folder + ", which the build writes,";
    std::error_code ec;
    std::filesystem::file_status status = std::filesystem::status(workspace.StaticPath(folder), ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_directory(status))
      return "public/" + folder + ", a file of static/,";
  }
  return "";
}

// The page alias of post goes to; "" after reporting why it is skipped.
std::string Usable(SiteRender& site, const PostFile& post, const std::string& alias) {
  std::string why;
  std::string output = AliasPages::OutputOf(alias, &why);
  if (!output.empty()) why = AliasPages::Clash(site, output);
  if (why.empty()) return output;
  site.Report(post.path + ": alias \"" + alias + "\" " + why + "; skipped");
  return "";
}

// The redirect pages of the aliases of post (or page), which lead to its
// file target under public/; each written goes to *written.
void WriteAliases(SiteRender& site, const PostFile& post, const std::string& target,
                  std::vector<std::string>* written) {
  PublicFolder& out = site.out();
  const std::string site_url = site.data().GetText("system.url");
  for (const std::string& alias : post.aliases) {
    std::string output = Usable(site, post, alias);
    if (output.empty()) continue;
    // Without the site's address the canonical link is the relative one.
    std::string href = AliasPages::RelativeLink(output, target);
    std::string canonical = site_url + "/" + PostIndex::LinkName(target);
    std::string page = AliasPages::Page(post.title, href, site_url.empty() ? href : canonical);
    std::string error;
    out.ClearWayFor(output);
    if (!out.Put(output, page, &error)) {
      site.Report(error + " (alias \"" + alias + "\" of " + post.path + ")");
      continue;
    }
    out.Generated(output);
    written->push_back(output);
  }
}

}  // namespace

std::string AliasPages::OutputOf(std::string_view alias, std::string* why) {
  std::string path = PercentDecode(alias);
  for (char c : path) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || c == '\\' || c == '?' || c == '#') {
      *why = "holds a query, a fragment, a backslash or a control character";
      return "";
    }
  }
  std::string out;
  bool folder = path.empty() || path.back() == '/';
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string_view step = std::string_view(path).substr(start, end - start);
    start = end + 1;
    if (step.empty() || step == ".") continue;
    if (step == "..") {
      *why = "would leave public/ (a \"..\" step)";
      return "";
    }
    if (PublicFolder::InGitFolder(step)) {
      *why = "would write into public/.git, the deploy repository";
      return "";
    }
    if (!out.empty()) out += '/';
    out += step;
  }
  if (folder || !(EndsWith(out, ".html") || EndsWith(out, ".htm")))
    out += out.empty() ? "index.html" : "/index.html";
  return out;
}

std::string AliasPages::Clash(SiteRender& site, const std::string& output) {
  if (site.out().IsGenerated(output))
    return "would overwrite public/" + output + ", which the build writes";
  std::string taken = TakenFolder(site, output);
  return taken.empty() ? "" : "would turn " + taken + " into a folder";
}

std::string AliasPages::RelativeLink(std::string_view output, std::string_view target) {
  std::string href;
  for (char c : output)
    if (c == '/') href += "../";
  return href + PostIndex::LinkName(target);
}

std::string AliasPages::Page(std::string_view title, std::string_view href,
                             std::string_view canonical) {
  std::string t = EscapeAttribute(title);
  std::string h = EscapeAttribute(href);
  return "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + t +
         "</title>\n<link rel=\"canonical\" href=\"" + EscapeAttribute(canonical) +
         "\">\n<meta name=\"robots\" content=\"noindex\">\n"
         "<meta http-equiv=\"refresh\" content=\"0; url=" +
         h + "\">\n</head>\n<body>\n<p><a href=\"" + h + "\">" + t + "</a></p>\n</body>\n</html>\n";
}

bool AliasPages::Write(SiteRender& site) {
  PublicFolder& out = site.out();
  std::vector<std::string> written;
  for (const PostFile& post : site.posts()) WriteAliases(site, post, post.ArticleFile(), &written);
  for (const auto& [page, file] : site.written_pages()) WriteAliases(site, *page, file, &written);
  // Pages of aliases that were dropped, or whose post was, or went back to
  // being a draft: a page of an old address still names its post.
  for (const std::string& earlier : out.earlier_aliases()) out.RemoveLeftover(earlier);
  out.set_aliases(std::move(written));
  return true;
}

}  // namespace tarn
