#include "deploy/secret_mask.h"

#include <glib.h>

#include "deploy/git_deployer.h"

namespace tarn {
namespace {

// The names that mark a value as a secret, as a regular-expression
// alternative; "pass" alone only as a whole part of an option name
// ("--sftp-pass", not "passes").
constexpr char kSecretName[] =
    "(?:password|passwd|pass(?![a-z])|token|secret|access[_-]?key(?:[_-]?id)?|account[_-]?key|"
    "api[_-]?key|sas[_-]?url)";

// Compiled once; GRegex is safe to share between threads once built.
GRegex* Pattern() {
  static GRegex* pattern = [] {
    std::string name = std::string("[A-Za-z0-9_-]*") + kSecretName + "[A-Za-z0-9_-]*";
    // 1: "--NAME VALUE" or "--NAME=VALUE"; 2: "NAME=VALUE" or "NAME: VALUE"
    // (a value quoted, or up to a blank, comma, colon or quote mark).
    std::string text = "(--" + name + "(?:=|\\s+))(\\S+)|(\\b" + name +
                       "\\s*(?:=|:\\s*))(\"[^\"]*\"|'[^']*'|[^\\s,:\"']+)";
    return g_regex_new(text.c_str(), G_REGEX_CASELESS, static_cast<GRegexMatchFlags>(0), nullptr);
  }();
  return pattern;
}

gboolean MaskValue(const GMatchInfo* match, GString* result, gpointer) {
  gchar* option = g_match_info_fetch(match, 1);
  gchar* key = g_match_info_fetch(match, 3);
  g_string_append(result, option && *option ? option : key);
  g_string_append(result, "***");
  g_free(option);
  g_free(key);
  return FALSE;
}

}  // namespace

std::string SecretMask::Apply(std::string_view text) {
  std::string shown = GitDeployer::WithoutPassword(text);
  gchar* masked =
      g_regex_replace_eval(Pattern(), shown.c_str(), static_cast<gssize>(shown.size()), 0,
                           static_cast<GRegexMatchFlags>(0), MaskValue, nullptr, nullptr);
  if (!masked) return shown;
  std::string result(masked);
  g_free(masked);
  return result;
}

}  // namespace tarn
