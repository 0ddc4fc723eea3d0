#include "import/imported_settings.h"

#include <system_error>

#include "data/json_document.h"
#include "data/text_file.h"
#include "workspace/workspace.h"

namespace tarn {

namespace fs = std::filesystem;

namespace {

// file's JSON, read into *document; false with *error when it does not read.
bool ReadJson(const fs::path& file, JsonDocument* document, std::string* error) {
  std::string text;
  if (!ReadTextFile(file.string(), &text, error)) return false;
  JsonDocument::ParseResult result;
  if (!document->Parse(text, {}, &result)) {
    int line = 0, column = 0;
    JsonDocument::LineAndColumn(text, result.position, &line, &column);
    *error = file.string() + ":" + std::to_string(line) + ": not JSON that reads";
    return false;
  }
  return true;
}

// compact, a compact JSON text, laid out as the bundled settings files are:
// two spaces a level, a space after ":", a member a line, "/" unescaped.
std::string Laid(std::string_view compact) {
  std::string out;
  int depth = 0;
  bool in_string = false;
  auto line = [&out, &depth] { out += "\n" + std::string(2 * depth, ' '); };
  for (size_t i = 0; i < compact.size(); ++i) {
    char c = compact[i];
    if (in_string) {
      if (c == '\\' && i + 1 < compact.size()) {
        char next = compact[++i];
        if (next != '/') out.push_back(c);
        out.push_back(next);
        continue;
      }
      in_string = c != '"';
      out.push_back(c);
    } else if ((c == '{' || c == '[') && i + 1 < compact.size() &&
               compact[i + 1] == (c == '{' ? '}' : ']')) {
      out.push_back(c);
      out.push_back(compact[++i]);
    } else if (c == '{' || c == '[') {
      out.push_back(c);
      ++depth;
      line();
    } else if (c == '}' || c == ']') {
      --depth;
      line();
      out.push_back(c);
    } else {
      out.push_back(c);
      if (c == ',') line();
      if (c == ':') out.push_back(' ');
      in_string = c == '"';
    }
  }
  return out + "\n";
}

}  // namespace

bool ImportedSettings::Apply(const Values& values, const Workspace& workspace,
                             const fs::path& fresh, std::vector<std::string>* written,
                             std::string* error, std::string_view fresh_language) {
  const fs::path base = workspace.base_config();
  JsonDocument ours, theirs;
  if (!ReadJson(base, &ours, error) || !ReadJson(fresh, &theirs, error)) return false;
  if (!fresh_language.empty()) theirs.SetText(kLanguageKey, fresh_language);
  const std::pair<std::string_view, const std::string*> wanted[] = {
      {kTitleKey, &values.title},   {kDescriptionKey, &values.description},
      {kAuthorKey, &values.author}, {kLanguageKey, &values.language},
      {kUrlKey, &values.url},       {kTimeZoneKey, &values.time_zone}};
  for (const auto& [key, value] : wanted) {
    if (value->empty() || ours.GetType(key) != theirs.GetType(key) ||
        ours.GetText(key) != theirs.GetText(key) || ours.GetText(key) == *value) {
      continue;
    }
    if (!ours.SetText(key, *value)) continue;
    written->emplace_back(key);
  }
  if (written->empty()) return true;
  return WriteTextFile(base.string(), Laid(ours.ToText()), error);
}

std::vector<std::string> ImportedSettings::RemoveWelcomePosts(const Workspace& workspace,
                                                              const fs::path& fresh_posts,
                                                              std::vector<std::string>* kept) {
  std::vector<std::string> removed;
  std::error_code ec;
  for (fs::directory_iterator it(fresh_posts, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const fs::path there = workspace.PostPath(name);
    std::string welcome, text;
    if (!fs::is_regular_file(fs::symlink_status(there, ec)) ||
        !ReadTextFile(it->path().string(), &welcome) || !ReadTextFile(there.string(), &text)) {
      ec.clear();
      continue;
    }
    if (text != welcome) {
      kept->push_back(name);
    } else if (fs::remove(there, ec)) {
      removed.push_back(name);
    }
    ec.clear();
  }
  return removed;
}

}  // namespace tarn
