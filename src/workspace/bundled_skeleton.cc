#include "workspace/bundled_skeleton.h"

#include <filesystem>

#include "data/json_document.h"
#include "data/language_tag.h"
#include "data/text_file.h"
#include "workspace/contained_tree.h"
#include "workspace/workspace.h"

namespace tarn {

namespace fs = std::filesystem;

namespace {

// The demo's settings name the demo's language as this text; a blog in
// another language of that demo gets its own tag in its place.
std::string LanguageSetting(std::string_view tag) {
  return "\"language\": \"" + std::string(tag) + "\"";
}

// Writes language in place of the demo's own (demo_language) in the
// settings at path, copied from the demo's at shown.
bool SetLanguage(const std::string& path, const std::string& shown, std::string_view demo,
                 std::string_view language, std::string* error) {
  std::string text;
  if (!ReadTextFile(path, &text, error)) return false;
  const std::string from = LanguageSetting(demo);
  std::size_t at = text.find(from);
  if (at == std::string::npos) {
    *error = shown + ": system.language is not \"" + std::string(demo) + "\"; reinstall tarn";
    return false;
  }
  text.replace(at, from.size(), LanguageSetting(language));
  return WriteTextFile(path, text, error);
}

}  // namespace

std::string BundledSkeleton::Find(const std::string& executable_folder) {
  if (executable_folder.empty()) return "";
  for (const char* relative : {kInstalledPath, kBuildTreePath}) {
    fs::path candidate = fs::path(executable_folder) / relative;
    std::error_code ec;
    if (fs::is_directory(candidate / Workspace::kConfigDir, ec))
      return candidate.lexically_normal().string();
  }
  return "";
}

std::string BundledSkeleton::SystemLanguage(const char* lc_all, const char* lc_messages,
                                            const char* lang) {
  for (const char* value : {lc_all, lc_messages, lang}) {
    if (value == nullptr || *value == '\0') continue;
    // language_TERRITORY.CODESET@MODIFIER: the codeset and modifier say
    // nothing of the language.
    std::string_view name(value);
    name = name.substr(0, name.find_first_of(".@"));
    if (name == "C" || name == "POSIX") return "";
    return LanguageTag::Checked(name);
  }
  return "";
}

std::string BundledSkeleton::DemoLanguage(const std::string& skeleton, std::string_view language) {
  const std::string primary = LanguageTag::Language(language);
  if (language.empty() || primary == kOwnLanguage) return "";
  std::error_code ec;
  return fs::is_directory(skeleton + "-" + primary, ec) ? primary : kFallbackLanguage;
}

std::string BundledSkeleton::FreshSettings(const std::string& skeleton, const std::string& root,
                                           std::string* language) {
  std::string text;
  JsonDocument settings;
  language->clear();
  if (ReadTextFile(Workspace(root).base_config(), &text) && settings.Parse(text))
    *language = LanguageTag::Checked(settings.GetText("system.language"));
  const std::string demo = DemoLanguage(skeleton, *language);
  if (demo.empty()) language->clear();
  return Workspace(demo.empty() ? skeleton : skeleton + "-" + demo).base_config();
}

std::string BundledSkeleton::Describe() const { return "the bundled blog in " + folder_; }

bool BundledSkeleton::Fill(const std::string& stage, std::string* error) {
  // Links and devices are no part of a blog: left out.
  std::string ignored;
  if (!error) error = &ignored;
  const std::string demo_language = DemoLanguage(folder_, language_);
  if (demo_language.empty()) return ContainedTree::CopyMissing(folder_, stage, error);
  const std::string demo = folder_ + "-" + demo_language;
  std::error_code ec;
  if (!fs::is_directory(demo, ec)) {
    *error = demo + ": the demo blog is missing; reinstall tarn";
    return false;
  }
  // The demo's files first: copying never replaces one.
  if (!ContainedTree::CopyMissing(demo, stage, error) ||
      !ContainedTree::CopyMissing(folder_, stage, error))
    return false;
  if (language_ == demo_language) return true;
  return SetLanguage(Workspace::Path(stage, Workspace::kBaseConfig),
                     Workspace::Path(demo, Workspace::kBaseConfig), demo_language, language_,
                     error);
}

}  // namespace tarn
