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
