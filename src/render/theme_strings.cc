#include "render/theme_strings.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "data/language_tag.h"
#include "data/text_file.h"
#include "workspace/workspace.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

void Report(const DiagnosticSink& sink, const std::string& message) {
  if (sink) sink(message);
}

// The language files in folder, by language tag, each an object of texts.
std::map<std::string, JsonDocument> ReadFiles(const std::string& folder,
                                              const DiagnosticSink& sink) {
  std::map<std::string, JsonDocument> files;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
    const fs::path& path = entry.path();
    if (path.extension() != ".json" || !entry.is_regular_file(ec)) continue;
    std::string text;
    std::string error;
    if (!ReadTextFile(path.string(), &text, &error)) {
      Report(sink, error);
      continue;
    }
    JsonDocument doc;
    if (SiteConfig::ParseFile(path.string(), std::move(text), &doc, sink))
      files.emplace(path.stem().string(), std::move(doc));
  }
  return files;
}

}  // namespace

std::vector<std::string> ThemeStrings::Chain(std::string_view language) {
  std::vector<std::string> chain;
  for (std::string tag :
       {std::string(language), LanguageTag::Language(language), std::string("en")}) {
    if (!tag.empty() && std::find(chain.begin(), chain.end(), tag) == chain.end())
      chain.push_back(std::move(tag));
  }
  return chain;
}

JsonDocument ThemeStrings::Load(const std::string& theme_dir, std::string_view language,
                                const DiagnosticSink& sink) {
  const std::string folder = Workspace::Path(theme_dir, kFolder);
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return JsonDocument();
  std::map<std::string, JsonDocument> files = ReadFiles(folder, sink);
  // The files of the chain first, so that their keys keep their order.
  std::vector<std::map<std::string, JsonDocument>::const_iterator> order;
  for (const std::string& tag : Chain(language)) {
    auto it = files.find(tag);
    if (it != files.end()) order.push_back(it);
  }
  const size_t chained = order.size();
  for (auto it = files.cbegin(); it != files.cend(); ++it)
    if (std::find(order.begin(), order.end(), it) == order.end()) order.push_back(it);

  JsonDocument strings = JsonDocument::NewObject();
  for (size_t i = 0; i < order.size(); ++i) {
    std::vector<std::string> keys;
    const auto& [tag, doc] = *order[i];
    doc.GetKeys("", &keys);
    for (size_t k = 0; k < keys.size(); ++k) {
      if (strings.FindMember("", keys[k]) != 0) continue;
      JsonDocument value = doc.GetItem("", static_cast<int>(k));
      if (value.GetType("") != JsonDocument::kString) {
        Report(sink, Workspace::Path(folder, tag + ".json") + ": " + keys[k] +
                         " is not a text; it is left out");
        continue;
      }
      // A key only another language has reads as itself.
      if (i >= chained) value = JsonDocument::NewText(keys[k]);
      strings.SetObject("", keys[k], value);
    }
  }
  return strings;
}

void ThemeStrings::AddTo(const SiteConfig& config, JsonDocument* data, const DiagnosticSink& sink) {
  data->SetText("site.language", config.page_language());
  data->SetText("site.ogLocale",
                config.language().empty() ? "" : LanguageTag::OpenGraphLocale(config.language()));
  JsonDocument strings = Load(config.theme_dir(), config.page_language(), sink);
  if (!strings.HasTree()) return;
  const int entries = data->GetCount("theme.menu");
  for (int i = 0; i < entries; ++i) {
    const std::string entry = "theme.menu[" + std::to_string(i) + "]";
    const std::string key = data->GetText(entry + ".i18n");
    if (!key.empty() && strings.FindMember("", key) != 0)
      data->SetText(entry + ".name", strings.GetText(key));
  }
  data->SetObject("", "i18n", strings);
}

void ThemeStrings::RemoveFrom(JsonDocument* data) {
  data->RemoveMember("", "site");
  data->RemoveMember("", "i18n");
}

}  // namespace tarn
