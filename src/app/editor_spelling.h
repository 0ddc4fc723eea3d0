// EditorSpelling: the post editor's spell checking, WebKit's own (enchant
// with the system's Hunspell dictionaries), in the languages of the post
// being edited: its front matter's "lang", else the blog's
// (system.language in config/base.json), else the system's. A language
// counts only when a dictionary of it is installed; languages without one
// (Chinese, Japanese: enchant has no dictionary for them) are left out, so
// their text is never marked. Words added from the context menu go to the
// user's own enchant dictionary.
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

  // The dictionaries for the first of post_lang, blog_lang and the
  // system's languages (each a BCP 47 tag or a locale name such as
  // "en_US.UTF-8"; "" for none) that has one among installed. A tag's
  // region picks that dictionary ("en-GB" en_GB); a bare language its
  // usual region's ("en" en_US, "de" de_DE), else the first of its
  // language. The system's languages may give several. Empty when none has
  // a dictionary.
  static std::vector<std::string> Languages(std::string_view post_lang, std::string_view blog_lang,
                                            const std::vector<std::string>& system_langs,
                                            const std::vector<std::string>& installed);

  // The names of the dictionaries in folder (NAME of each NAME.dic), sorted.
  static std::vector<std::string> Installed(const std::string& folder = kDictionaryDir);

  // Turns WebKit's spell checking on for the languages of the post text
  // at path (of the blog at root), on every page of the program. Returns
  // the languages (empty: no dictionary fits, checking stays off).
  static std::vector<std::string> Apply(const std::string& root, std::string_view text);

  // Writes each context menu view shows as "editor: context menu: ITEMS",
  // its spelling items by name ("guess WORD", "learn spelling"), for the
  // GUI tests. view is a WebKitWebView.
  static void TraceContextMenus(void* view);

 private:
  // The dictionary for one tag or locale name, "" when none fits.
  static std::string Match(std::string_view tag, const std::vector<std::string>& installed);
  static int OnContextMenu(void* view, void* menu, void* event, void* hit, void* data);
};

}  // namespace tarn
