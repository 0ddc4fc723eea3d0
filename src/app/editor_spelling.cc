#include "app/editor_spelling.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include <glib.h>
#include <webkit2/webkit2.h>

#include "content/front_matter.h"
#include "render/site_config.h"

namespace tarn {
namespace {

// The region a bare language's dictionary is usually named with.
constexpr std::pair<const char*, const char*> kUsualRegion[] = {
    {"en", "US"}, {"de", "DE"}, {"fr", "FR"}, {"es", "ES"}, {"it", "IT"},
    {"pt", "PT"}, {"nl", "NL"}, {"ru", "RU"}, {"sv", "SE"}, {"pl", "PL"},
};

bool Has(const std::vector<std::string>& list, const std::string& name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

}  // namespace

std::string EditorSpelling::Match(std::string_view tag, const std::vector<std::string>& installed) {
  // "en-US", "en_US.UTF-8", "en_US@euro" all name language "en", region "US".
  std::string_view name = tag.substr(0, tag.find_first_of(".@"));
  std::size_t cut = name.find_first_of("-_");
  std::string language(name.substr(0, cut));
  std::transform(language.begin(), language.end(), language.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  if (language.empty() || language == "c" || language == "posix") return "";
  if (cut != std::string_view::npos) {
    std::string region(name.substr(cut + 1, 2));
    std::transform(region.begin(), region.end(), region.begin(),
                   [](unsigned char c) { return std::toupper(c); });
    if (Has(installed, language + "_" + region)) return language + "_" + region;
  }
  for (const auto& [bare, region] : kUsualRegion) {
    std::string usual = language + "_" + region;
    if (language == bare && Has(installed, usual)) return usual;
  }
  if (Has(installed, language)) return language;
  for (const std::string& name_installed : installed) {
    if (name_installed.rfind(language + "_", 0) == 0) return name_installed;
  }
  return "";
}

std::vector<std::string> EditorSpelling::Languages(std::string_view post_lang,
                                                   std::string_view blog_lang,
                                                   const std::vector<std::string>& system_langs,
                                                   const std::vector<std::string>& installed) {
  for (std::string_view chosen : {post_lang, blog_lang}) {
    if (chosen.empty()) continue;
    std::string found = Match(chosen, installed);
    return found.empty() ? std::vector<std::string>{} : std::vector<std::string>{found};
  }
  std::vector<std::string> languages;
  for (const std::string& name : system_langs) {
    std::string found = Match(name, installed);
    if (!found.empty() && !Has(languages, found)) languages.push_back(found);
  }
  return languages;
}

std::vector<std::string> EditorSpelling::Installed(const std::string& folder) {
  std::vector<std::string> names;
  GDir* dir = g_dir_open(folder.c_str(), 0, nullptr);
  if (!dir) return names;
  while (const char* entry = g_dir_read_name(dir)) {
    if (g_str_has_suffix(entry, ".dic")) names.emplace_back(entry, std::strlen(entry) - 4);
  }
  g_dir_close(dir);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> EditorSpelling::Apply(const std::string& root, std::string_view text) {
  DiagnosticSink quiet = [](const std::string&) {};  // the build reports these files' faults
  FrontMatter front;
  front.Read(text, "", quiet);
  SiteConfig config(root);
  config.Load(quiet);
  std::vector<std::string> system;
  for (const char* const* name = g_get_language_names(); *name; ++name) system.emplace_back(*name);
  std::vector<std::string> languages = Languages(front.present() ? front.GetText("lang") : "",
                                                 config.language(), system, Installed());

  std::vector<const char*> list;
  for (const std::string& language : languages) list.push_back(language.c_str());
  list.push_back(nullptr);
  WebKitWebContext* context = webkit_web_context_get_default();
  webkit_web_context_set_spell_checking_languages(context, list.data());
  webkit_web_context_set_spell_checking_enabled(context, !languages.empty());
  return languages;
}

void EditorSpelling::TraceContextMenus(void* view) {
  g_signal_connect(view, "context-menu", G_CALLBACK(OnContextMenu), nullptr);
}

int EditorSpelling::OnContextMenu(void*, void* menu, void*, void*, void*) {
  std::string items;
  for (GList* at = webkit_context_menu_get_items(WEBKIT_CONTEXT_MENU(menu)); at; at = at->next) {
    auto* item = WEBKIT_CONTEXT_MENU_ITEM(at->data);
    std::string name;
    switch (webkit_context_menu_item_get_stock_action(item)) {
      case WEBKIT_CONTEXT_MENU_ACTION_SPELLING_GUESS: {
        // The guess is the item's label, which only its GtkAction gives.
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        GtkAction* action = webkit_context_menu_item_get_action(item);
        name = std::string("guess ") + (action ? gtk_action_get_label(action) : "");
        G_GNUC_END_IGNORE_DEPRECATIONS
        break;
      }
      case WEBKIT_CONTEXT_MENU_ACTION_NO_GUESSES_FOUND:
        name = "no guesses";
        break;
      case WEBKIT_CONTEXT_MENU_ACTION_IGNORE_SPELLING:
        name = "ignore spelling";
        break;
      case WEBKIT_CONTEXT_MENU_ACTION_LEARN_SPELLING:
        name = "learn spelling";
        break;
      default:
        name = "other";
    }
    items += (items.empty() ? "" : ", ") + name;
  }
  std::printf("editor: context menu: %s\n", items.c_str());
  std::fflush(stdout);
  return FALSE;  // the menu is shown as WebKit made it
}

}  // namespace tarn
