#include "render/extra_pages.h"

#include <algorithm>

#include "render/site_render.h"

namespace tarn {
namespace {

// The page of entry (pages[i] of conf_path), named tpl and target as
// written; reported and skipped when anything is wrong with it.
void WritePage(SiteRender& site, const std::string& entry, const std::string& conf_path,
               const std::string& tpl_text, const std::string& target_text) {
  std::string tpl = ExtraPages::ContainedName(tpl_text);
  std::string target = ExtraPages::ContainedName(target_text);
  if (tpl.empty() || target.empty()) {
    const std::string& bad = tpl.empty() ? tpl_text : target_text;
    site.Report(
        conf_path + ": " + entry + " (tpl \"" + tpl_text + "\", target \"" + target_text +
        "\"): " + (tpl.empty() ? "tpl" : "target") +
        (bad.empty() ? " is empty" : " must stay inside its folder (no absolute path, no \"..\")") +
        "; page skipped");
    return;
  }
  std::string template_path;
  std::string text;
  std::string error;
  if (!site.ReadTemplate(tpl, &template_path, &text, &error)) {
    site.Report(error + " (" + entry + " of " + conf_path + "; page skipped)");
    return;
  }
  JsonDocument overlay;
  int depth = static_cast<int>(std::count(target.begin(), target.end(), '/'));
  std::string html = site.engine().Render(text, site.PageView(&overlay, depth), template_path);
  if (html.empty()) {
    site.Report(template_path + ": renders to empty text; page skipped");
    return;
  }
  std::string output = target + ".html";
  if (!site.out().MakeFoldersFor(output)) return;
  if (site.out().Write(output, html)) site.out().Listed(output, site.NewestUpdate());
}

}  // namespace

std::string ExtraPages::ContainedName(std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  if (!name.empty() && name[0] == '/') return "";
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    if (name.compare(start, end - start, "..") == 0) return "";
    start = end + 1;
  }
  return name;
}

bool ExtraPages::Write(SiteRender& site) {
  const JsonDocument& conf = site.config().theme();
  std::string conf_path = site.config().ThemeFile("_conf.json");
  for (int i = 0, n = conf.GetCount("pages"); i < n; ++i) {
    std::string entry = "pages[" + std::to_string(i) + "]";
    WritePage(site, entry, conf_path, conf.GetText(entry + ".tpl"),
              conf.GetText(entry + ".target"));
  }
  return true;
}

}  // namespace tarn
