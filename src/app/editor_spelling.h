// EditorSpelling: the post editor's spell checking, WebKit's own (enchant
// with the system's Hunspell dictionaries), in the languages of the post
// being edited: its front matter's "lang", else the blog's
// (system.language in config/base.json), else the system's, each mapped
// to an installed dictionary by SpellingDictionaries; a language without
// one (Chinese) turns checking off, so its text is never marked. Words
// added from the context menu go to the user's own enchant dictionary.
//
// The page's spell-check toggle and the text left unchecked (front
// matter, code, addresses, CJK text) are the editor page's
// (editor-writing.js).
//
// Thread safety: user-interface thread only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class EditorSpelling {
 public:
  // Where Debian's Hunspell dictionaries (NAME.dic) are installed.
  static constexpr char kDictionaryDir[] = "/usr/share/hunspell";

  // The names of the dictionaries in folder (NAME of each NAME.dic), sorted.
  static std::vector<std::string> Installed(const std::string& folder = kDictionaryDir);

  // Turns WebKit's spell checking on for the languages of text, a post of
  // the blog at root, on every page of the program (one WebKit context).
  // Returns the dictionaries (empty: none fits, checking is off).
  static std::vector<std::string> Apply(const std::string& root, std::string_view text);

  // Writes each context menu view shows as "editor: context menu: ITEMS",
  // its spelling items by name ("guess WORD", "learn spelling"), for the
  // GUI tests. view is a WebKitWebView.
  static void TraceContextMenus(void* view);

 private:
  static int OnContextMenu(void* view, void* menu, void* event, void* hit, void* data);
};

}  // namespace tarn
