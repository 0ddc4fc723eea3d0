#include "data/translation.h"

#include <glib/gi18n.h>

#include <clocale>
#include <cstdarg>
#include <filesystem>
#include <string_view>

namespace tarn {

void Translation::Start(const std::string& executable_folder) {
  std::setlocale(LC_ALL, "");
  // Numbers written into the site, settings and JSON keep their C form.
  std::setlocale(LC_NUMERIC, "C");
  if (!Translates(std::setlocale(LC_MESSAGES, nullptr))) return;
  std::string folder = Find(executable_folder);
  if (!folder.empty()) bindtextdomain(kDomain, folder.c_str());
  bind_textdomain_codeset(kDomain, "UTF-8");
  textdomain(kDomain);
  // gettext reads LANGUAGE's list of languages in order; one set by the
  // user is theirs to keep. (Programs tarn runs inherit it too.)
  const char* languages = g_getenv("LANGUAGE");
  if ((languages == nullptr || *languages == '\0') &&
      ReadsEnglish(std::setlocale(LC_MESSAGES, nullptr), bindtextdomain(kDomain, nullptr))) {
    g_setenv("LANGUAGE", kFallbackLanguage, TRUE);
  }
}

bool Translation::ReadsEnglish(const char* messages_locale, const std::string& folder) {
  if (!Translates(messages_locale)) return false;
  // language_TERRITORY.CODESET@MODIFIER, as gettext looks for it: the
  // whole name, without the codeset, then the language alone.
  std::string name(messages_locale);
  name = name.substr(0, name.find('@'));
  std::string without_codeset = name.substr(0, name.find('.'));
  std::string language = without_codeset.substr(0, without_codeset.find('_'));
  if (language == kSourceLanguage) return false;
  for (const std::string& candidate : {name, without_codeset, language}) {
    std::error_code ec;
    std::filesystem::path mo =
        std::filesystem::path(folder) / candidate / "LC_MESSAGES" / (std::string(kDomain) + ".mo");
    if (std::filesystem::is_regular_file(mo, ec)) return false;
  }
  return true;
}

bool Translation::Translates(const char* messages_locale) {
  if (messages_locale == nullptr) return false;
  std::string_view name(messages_locale);
  return name != "C" && name != "POSIX" && !name.starts_with("C.");
}

std::string Translation::Find(const std::string& executable_folder) {
  namespace fs = std::filesystem;
  if (executable_folder.empty()) return "";
  for (const char* relative : {kBuildTreePath, kInstalledPath}) {
    fs::path candidate = fs::path(executable_folder) / relative;
    std::error_code ec;
    if (fs::is_regular_file(candidate / "en" / "LC_MESSAGES" / (std::string(kDomain) + ".mo"), ec))
      return candidate.lexically_normal().string();
  }
  return "";
}

std::string Translation::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char* text = g_strdup_vprintf(format, args);
  va_end(args);
  std::string result(text);
  g_free(text);
  return result;
}

}  // namespace tarn
