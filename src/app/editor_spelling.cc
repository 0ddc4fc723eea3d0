#include "app/editor_spelling.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <glib.h>
#include <webkit2/webkit2.h>

#include "content/front_matter.h"
#include "data/spelling_dictionaries.h"
#include "render/site_config.h"

namespace tarn {
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
  std::vector<std::string> languages = SpellingDictionaries::Choose(
      front.present() ? front.GetText("lang") : "", config.language(), system, Installed());

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
