// Translation: the program's messages in the user's language, through
// GLib's gettext support (glib/gi18n.h: _() and N_()). The source texts are
// the program's Chinese messages, so a Chinese system and an unset, C or
// POSIX locale show them as written; another language shows its catalogue
// (po/LANG.po, compiled into share/locale/LANG/LC_MESSAGES/tarn.mo), or
// the English one when it has none, and, for a text the catalogue does not
// translate, the source text.
//
// Thread safety: Start before any other thread runs; Format on any thread.
#pragma once

#include <glib.h>

#include <string>

namespace tarn {

class Translation {
 public:
  // The text domain: the catalogues' file name (tarn.mo).
  static constexpr char kDomain[] = "tarn";
  // The catalogues' folder relative to the executable's folder: installed
  // under PREFIX/share, or inside a build tree.
  static constexpr char kInstalledPath[] = "../share/locale";
  static constexpr char kBuildTreePath[] = "share/locale";
  // The language of the source texts, and the catalogue's language for
  // a locale whose language has none.
  static constexpr char kSourceLanguage[] = "zh";
  static constexpr char kFallbackLanguage[] = "en";

  // Takes the user's locale from the environment (LC_ALL, LC_MESSAGES,
  // LANG) for messages and text, keeping numbers in the C form so that
  // nothing the program writes depends on the machine's locale, and binds
  // the text domain to the catalogues that belong to the executable in
  // executable_folder (the system's when neither place holds any), unless
  // the locale is one that Translates not; a locale that ReadsEnglish gets
  // LANGUAGE=en when LANGUAGE is unset. Called
  // once by main() on the main thread.
  static void Start(const std::string& executable_folder);

  // Whether messages are translated in the messages locale named
  // messages_locale (setlocale's name for LC_MESSAGES): not in C, POSIX or
  // C.CODESET, whatever LANGUAGE asks for, so that such a locale shows the
  // source texts.
  static bool Translates(const char* messages_locale);

  // Whether the messages locale messages_locale reads the fallback
  // language's catalogue: it Translates, is not in the source texts'
  // language, and folder holds no catalogue of its own language.
  static bool ReadsEnglish(const char* messages_locale, const std::string& folder);

  // The catalogue folder that belongs to the executable in
  // executable_folder, or "" when there is none.
  static std::string Find(const std::string& executable_folder);

  // format (a translated printf format) filled with the arguments.
  static std::string Format(const char* format, ...) G_GNUC_PRINTF(1, 2);
};

}  // namespace tarn
