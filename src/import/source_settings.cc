#include "import/source_settings.h"

#include <toml++/toml.h>

#include <sstream>
#include <system_error>

#include "data/text_file.h"
#include "import/import_text.h"

namespace tarn {

namespace fs = std::filesystem;

namespace {

YAML::Node TomlToYaml(const toml::node& node) {
  if (const toml::table* table = node.as_table()) {
    YAML::Node map(YAML::NodeType::Map);
    for (const auto& [key, value] : *table) map[std::string(key.str())] = TomlToYaml(value);
    return map;
  }
  if (const toml::array* array = node.as_array()) {
    YAML::Node sequence(YAML::NodeType::Sequence);
    for (const toml::node& item : *array) sequence.push_back(TomlToYaml(item));
    return sequence;
  }
  if (auto text = node.value_exact<std::string>()) return YAML::Node(*text);
  std::ostringstream out;
  node.visit([&out](const auto& value) { out << value; });
  return YAML::Node(out.str());
}

}  // namespace

SourceSettings& SourceSettings::operator=(const SourceSettings& other) {
  node_.reset(other.node_);
  return *this;
}

bool SourceSettings::Load(const fs::path& file, std::string* error) {
  std::error_code ec;
  std::uintmax_t size = fs::file_size(file, ec);
  if (ec || size > kMaxBytes) {
    *error = file.string() + (ec ? ": cannot read" : ": too large to read");
    return false;
  }
  std::string text;
  if (!ReadTextFile(file.string(), &text, error)) return false;
  try {
    node_.reset(file.extension() == ".toml" ? TomlToYaml(toml::parse(text)) : YAML::Load(text));
  } catch (const toml::parse_error& e) {
    *error = file.string() + ":" + std::to_string(e.source().begin.line) + ": " +
             std::string(e.description());
    return false;
  } catch (const YAML::Exception& e) {
    *error = file.string() + ":" + std::to_string(e.mark.line + 1) + ": " + e.msg;
    return false;
  }
  return true;
}

SourceSettings SourceSettings::Get(std::string_view key) const {
  if (!node_.IsMap()) return SourceSettings();
  std::string wanted = ImportText::Lowered(key);
  for (const auto& entry : node_) {
    if (entry.first.IsScalar() && ImportText::Lowered(entry.first.Scalar()) == wanted) {
      return SourceSettings(entry.second);
    }
  }
  return SourceSettings();
}

std::string SourceSettings::Text(std::string_view key) const {
  YAML::Node value = Get(key).node_;
  return value.IsScalar() ? value.Scalar() : "";
}

bool SourceSettings::Flag(std::string_view key, bool fallback) const {
  YAML::Node value = Get(key).node_;
  if (!value.IsScalar()) return fallback;
  std::string text = ImportText::Lowered(value.Scalar());
  if (text == "true" || text == "yes" || text == "on") return true;
  if (text == "false" || text == "no" || text == "off") return false;
  return fallback;
}

std::vector<std::string> SourceSettings::Texts(std::string_view key) const {
  YAML::Node value = Get(key).node_;
  std::vector<std::string> out;
  if (value.IsScalar()) out.push_back(value.Scalar());
  if (value.IsSequence()) {
    for (const auto& item : value) {
      if (item.IsScalar()) out.push_back(item.Scalar());
    }
  }
  return out;
}

std::vector<std::string> SourceSettings::Names() const {
  std::vector<std::string> out;
  if (!node_.IsMap() && !node_.IsSequence()) return out;
  for (const auto& entry : node_) {
    YAML::Node name = node_.IsMap() ? YAML::Node(entry.first) : YAML::Node(entry);
    if (name.IsScalar()) out.push_back(name.Scalar());
  }
  return out;
}

std::vector<std::pair<std::string, std::string>> SourceSettings::TextEntries() const {
  std::vector<std::pair<std::string, std::string>> out;
  if (!node_.IsMap()) return out;
  for (const auto& entry : node_) {
    if (entry.first.IsScalar() && entry.second.IsScalar()) {
      out.emplace_back(entry.first.Scalar(), entry.second.Scalar());
    }
  }
  return out;
}

}  // namespace tarn
