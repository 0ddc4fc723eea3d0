#include "content/front_matter_editor.h"

#include <yaml-cpp/yaml.h>

#include <toml++/toml.h>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>

namespace tarn {
namespace {

// The line at text[pos] without its line ending; *next is set to the start
// of the following line.
std::string_view LineAt(std::string_view text, size_t pos, size_t* next) {
  size_t end = text.find('\n', pos);
  if (end == std::string_view::npos) end = text.size();
  *next = end < text.size() ? end + 1 : end;
  std::string_view line = text.substr(pos, end - pos);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// A double-quoted string, valid in YAML and in TOML.
std::string Quoted(const std::string& value) {
  std::string out = "\"";
  for (unsigned char c : value) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04X", c);
      out += buffer;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

// A TOML key: bare when it can be, else quoted.
std::string TomlKey(const std::string& key) {
  bool bare = !key.empty();
  for (char c : key) {
    bare = bare && (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-');
  }
  return bare ? key : Quoted(key);
}

std::vector<std::string> Merged(std::vector<std::string> old_values,
                                const std::vector<std::string>& added) {
  for (const std::string& value : added) {
    if (std::find(old_values.begin(), old_values.end(), value) == old_values.end()) {
      old_values.push_back(value);
    }
  }
  return old_values;
}

// Where the top-level YAML key starts in block and where its value ends:
// the key's line and the lines after it that are indented or list items.
bool FindYamlKey(std::string_view block, const std::string& key, size_t* begin, size_t* end) {
  size_t pos = 0;
  while (pos < block.size()) {
    size_t next;
    std::string_view line = LineAt(block, pos, &next);
    std::string_view rest;
    for (std::string quote : {std::string(), std::string("\""), std::string("'")}) {
      std::string name = quote + key + quote;
      if (line.substr(0, name.size()) == name) rest = line.substr(name.size());
      if (!rest.empty()) break;
    }
    size_t colon = rest.find_first_not_of(" \t");
    if (colon != std::string_view::npos && rest[colon] == ':' &&
        (colon + 1 == rest.size() || rest[colon + 1] == ' ' || rest[colon + 1] == '\t')) {
      *begin = pos;
      pos = next;
      while (pos < block.size()) {
        std::string_view more = LineAt(block, pos, &next);
        bool inside = !more.empty() && (more[0] == ' ' || more[0] == '\t' ||
                                        (more[0] == '-' && (more.size() == 1 || more[1] == ' ')));
        if (!inside || more.substr(0, 3) == "---") break;
        pos = next;
      }
      *end = pos;
      return true;
    }
    pos = next;
  }
  return false;
}

std::vector<std::string> YamlTopKeys(const YAML::Node& root) {
  std::vector<std::string> keys;
  if (!root.IsMap()) return keys;
  for (const auto& entry : root) {
    if (entry.first.IsScalar()) keys.push_back(entry.first.Scalar());
  }
  return keys;
}

std::set<std::string> YamlKeySet(const YAML::Node& root) {
  std::vector<std::string> keys = YamlTopKeys(root);
  return std::set<std::string>(keys.begin(), keys.end());
}

// The strings of a list value (a single string counts as one); false for
// anything else.
bool YamlStrings(const YAML::Node& node, std::vector<std::string>* values) {
  values->clear();
  if (!node.IsDefined() || node.IsNull()) return true;
  if (node.IsScalar()) {
    values->push_back(node.Scalar());
    return true;
  }
  if (!node.IsSequence()) return false;
  for (const auto& item : node) {
    if (!item.IsScalar()) return false;
    values->push_back(item.Scalar());
  }
  return true;
}

bool TomlStrings(const toml::node* node, std::vector<std::string>* values) {
  values->clear();
  if (!node) return true;
  if (auto text = node->value<std::string>(); text && node->is_string()) {
    values->push_back(*text);
    return true;
  }
  const toml::array* array = node->as_array();
  if (!array) return false;
  for (const toml::node& item : *array) {
    if (!item.is_string()) return false;
    values->push_back(*item.value<std::string>());
  }
  return true;
}

using Lists = std::vector<std::pair<std::string, std::vector<std::string>>>;

constexpr char kCannotExtend[] = "the front matter cannot be extended without rewriting it";

// True when the edited YAML block holds exactly the expected keys, the
// added scalars and the merged lists.
bool YamlEditKeeps(const std::string& block, const std::set<std::string>& expected_keys,
                   const std::vector<std::pair<std::string, std::string>>& added_scalars,
                   const Lists& lists) {
  try {
    YAML::Node edited = YAML::Load(block);
    std::vector<std::string> keys = YamlTopKeys(edited);
    bool same = std::set<std::string>(keys.begin(), keys.end()) == expected_keys &&
                keys.size() == expected_keys.size();
    for (const auto& [key, literal] : added_scalars) {
      same = same && edited[key].IsScalar() && edited[key].Scalar() == literal;
    }
    for (const auto& [key, values] : lists) {
      std::vector<std::string> now;
      same = same && edited[key].IsSequence() == !values.empty() &&
             YamlStrings(edited[key], &now) && now == values;
    }
    return same;
  } catch (const YAML::Exception&) {
    return false;
  }
}

// True when key of the edited YAML is what was set: removed (empty), the
// text or literal, or the list.
bool YamlHolds(const YAML::Node& edited, const std::string& key, bool list,
               const std::string& value, const std::vector<std::string>& values) {
  YAML::Node node = edited[key];
  if (list ? values.empty() : value.empty()) return !node.IsDefined();
  std::vector<std::string> now;
  if (list) return node.IsSequence() && YamlStrings(node, &now) && now == values;
  return node.IsScalar() && node.Scalar() == value;
}

// Replaces the whole lines of block that where stands on by text.
void ReplaceLines(std::string* block, const toml::source_region& where, const std::string& text) {
  size_t begin = 0;
  for (toml::source_index line = 1; line < where.begin.line; ++line) {
    begin = block->find('\n', begin) + 1;
  }
  size_t end = begin;
  for (toml::source_index line = where.begin.line; line <= where.end.line; ++line) {
    size_t newline = block->find('\n', end);
    end = newline == std::string::npos ? block->size() : newline + 1;
  }
  block->replace(begin, end - begin, text);
}

// True when the edited TOML block holds every scalar asked for, the merged
// lists, and everything else exactly as the original did.
template <typename Scalars>
bool TomlEditKeeps(const std::string& block, const toml::table& original, const Scalars& scalars,
                   const std::vector<std::string>& touched, const Lists& lists) {
  try {
    toml::table edited = toml::parse(block);
    toml::table rest_old = original;
    toml::table rest_new = edited;
    bool same = true;
    for (const auto& [key, literal] : scalars) {
      if (!original.contains(key)) same = same && edited.contains(key);
    }
    for (const auto& [key, values] : lists) {
      std::vector<std::string> now;
      same = same && TomlStrings(edited.get(key), &now) && now == values;
    }
    for (const std::string& key : touched) {
      rest_old.erase(key);
      rest_new.erase(key);
    }
    return same && rest_old == rest_new;
  } catch (const toml::parse_error&) {
    return false;
  }
}

}  // namespace

FrontMatterEditor::FrontMatterEditor(std::string text) : text_(std::move(text)) {
  size_t first_end = text_.find('\n');
  if (first_end != std::string::npos && first_end > 0 && text_[first_end - 1] == '\r') {
    newline_ = "\r\n";
  }
  if (!text_.empty() && text_[0] == '{') {
    format_ = Format::kOther;
    return;
  }
  FrontMatter::Block block = FrontMatter::Find(text_);
  if (block.format == FrontMatter::Format::kNone || !block.closed) return;  // not front matter
  format_ = block.format == FrontMatter::Format::kYaml ? Format::kYaml : Format::kToml;
  block_begin_ = static_cast<size_t>(block.text.data() - text_.data());
  block_end_ = block_begin_ + block.text.size();
}

void FrontMatterEditor::AddScalarIfMissing(const std::string& key, const std::string& literal) {
  scalars_.emplace_back(key, literal);
}

void FrontMatterEditor::AddToList(const std::string& key, const std::vector<std::string>& values) {
  lists_.push_back({key, values});
}

void FrontMatterEditor::SetText(const std::string& key, const std::string& value) {
  sets_.push_back({Setting::Kind::kText, key, value, {}});
}

void FrontMatterEditor::SetLiteral(const std::string& key, const std::string& literal) {
  sets_.push_back({Setting::Kind::kLiteral, key, literal, {}});
}

void FrontMatterEditor::SetList(const std::string& key, const std::vector<std::string>& values) {
  sets_.push_back({Setting::Kind::kList, key, "", values});
}

bool FrontMatterEditor::Has(const std::string& key) {
  std::string ignored;
  if (!Parse(&ignored)) return false;
  return std::find(keys_.begin(), keys_.end(), key) != keys_.end();
}

bool FrontMatterEditor::Parse(std::string* error) {
  if (!parsed_) {
    parsed_ = true;
    parse_ok_ = true;
    std::string block = text_.substr(block_begin_, block_end_ - block_begin_);
    if (format_ == Format::kOther) {
      parse_ok_ = false;
      parse_error_ = "front matter in JSON is not read";
    } else if (block.size() > kMaxBlockBytes) {
      parse_ok_ = false;
      parse_error_ = "front matter larger than " + std::to_string(kMaxBlockBytes) + " bytes";
    } else if (format_ == Format::kYaml) {
      try {
        keys_ = YamlTopKeys(YAML::Load(block));
      } catch (const YAML::Exception& e) {
        parse_ok_ = false;
        parse_error_ = "front matter line " + std::to_string(e.mark.line + 2) + ": " + e.msg;
      }
    } else if (format_ == Format::kToml) {
      try {
        toml::table table = toml::parse(block);
        for (const auto& [key, value] : table) keys_.emplace_back(key.str());
      } catch (const toml::parse_error& e) {
        parse_ok_ = false;
        parse_error_ = "front matter line " + std::to_string(e.source().begin.line + 1) + ": " +
                       std::string(e.description());
      }
    }
  }
  if (!parse_ok_) *error = parse_error_;
  return parse_ok_;
}

bool FrontMatterEditor::Apply(std::string* out, std::string* error) {
  if (!Parse(error)) return false;
  if (format_ == Format::kToml) return ApplyToml(out, error);
  return ApplyYaml(out, error);
}

bool FrontMatterEditor::SetYaml(std::string* block, std::string* error) const {
  const YAML::Node original = YAML::Load(*block);
  std::set<std::string> set_keys;
  for (const Setting& setting : sets_) {
    bool list = setting.kind == Setting::Kind::kList;
    std::string emitted;
    if (list && !setting.values.empty()) {
      emitted = setting.key + ":" + newline_;
      for (const std::string& value : setting.values) emitted += "  - " + Quoted(value) + newline_;
    } else if (!list && !setting.value.empty()) {
      bool text = setting.kind == Setting::Kind::kText;
      emitted = setting.key + ": " + (text ? Quoted(setting.value) : setting.value) + newline_;
    }
    size_t begin, end;
    if (FindYamlKey(*block, setting.key, &begin, &end)) {
      block->replace(begin, end - begin, emitted);
    } else if (!emitted.empty()) {
      if (!block->empty() && block->back() != '\n') *block += newline_;
      *block += emitted;
    }
    set_keys.insert(setting.key);
  }
  try {
    const YAML::Node edited = YAML::Load(*block);
    bool same = edited.IsMap() || edited.IsNull();
    for (const Setting& setting : sets_) {
      same = same && YamlHolds(edited, setting.key, setting.kind == Setting::Kind::kList,
                               setting.value, setting.values);
    }
    std::vector<std::string> before = YamlTopKeys(original);
    std::vector<std::string> after = YamlTopKeys(edited);
    for (const std::string& key : before) {
      if (!set_keys.count(key)) same = same && YAML::Dump(original[key]) == YAML::Dump(edited[key]);
    }
    for (const std::string& key : after) same = same && (set_keys.count(key) || original[key]);
    if (same) return true;
  } catch (const YAML::Exception&) {
  }
  *error = kCannotExtend;
  return false;
}

bool FrontMatterEditor::ApplyYaml(std::string* out, std::string* error) {
  const std::string before = text_.substr(block_begin_, block_end_ - block_begin_);
  std::string block = before;
  YAML::Node root;
  try {
    if (!sets_.empty() && !SetYaml(&block, error)) return false;
    root = YAML::Load(block);
  } catch (const YAML::Exception& e) {
    *error = e.what();
    return false;
  }
  std::set<std::string> expected_keys = YamlKeySet(root);
  std::string appended;
  std::vector<std::pair<std::string, std::string>> added_scalars;
  for (const auto& [key, literal] : scalars_) {
    if (expected_keys.count(key)) continue;
    appended += key + ": " + literal + newline_;
    added_scalars.emplace_back(key, literal);
    expected_keys.insert(key);
  }
  Lists lists;
  bool replaced = false;
  for (const ListAddition& list : lists_) {
    std::vector<std::string> old_values;
    YAML::Node node = root.IsMap() ? root[list.key] : YAML::Node();
    if (!YamlStrings(node, &old_values)) {
      *error = "front matter key '" + list.key + "' is not a list of texts";
      return false;
    }
    std::vector<std::string> merged = Merged(old_values, list.values);
    lists.emplace_back(list.key, merged);
    if (merged == old_values) continue;
    std::string emitted = list.key + ":" + newline_;
    for (const std::string& value : merged) emitted += "  - " + Quoted(value) + newline_;
    size_t begin, end;
    if (expected_keys.count(list.key) && FindYamlKey(block, list.key, &begin, &end)) {
      block.replace(begin, end - begin, emitted);
      replaced = true;
    } else {
      appended += emitted;
      expected_keys.insert(list.key);
    }
  }
  if (appended.empty() && !replaced && block == before) {
    *out = text_;
    return true;
  }
  if (!block.empty() && block.back() != '\n') block += newline_;
  block += appended;
  if (!YamlEditKeeps(block, expected_keys, added_scalars, lists)) {
    *error = kCannotExtend;
    return false;
  }
  if (format_ == Format::kNone) {
    *out = "---" + newline_ + block + "---" + newline_ + text_;
  } else {
    *out = text_.substr(0, block_begin_) + block + text_.substr(block_end_);
  }
  return true;
}

bool FrontMatterEditor::ApplyToml(std::string* out, std::string* error) {
  if (!sets_.empty()) {
    *error = "TOML front matter is not edited in place";
    return false;
  }
  std::string block = text_.substr(block_begin_, block_end_ - block_begin_);
  toml::table original;
  try {
    original = toml::parse(block);
  } catch (const toml::parse_error& e) {
    *error = std::string(e.description());
    return false;
  }
  std::string inserted;
  std::vector<std::string> touched;
  for (const auto& [key, literal] : scalars_) {
    if (original.contains(key) || std::find(touched.begin(), touched.end(), key) != touched.end()) {
      continue;
    }
    inserted += TomlKey(key) + " = " + literal + newline_;
    touched.push_back(key);
  }
  Lists lists;
  for (const ListAddition& list : lists_) {
    std::vector<std::string> old_values;
    const toml::node* node = original.get(list.key);
    if (!TomlStrings(node, &old_values)) {
      *error = "front matter key '" + list.key + "' is not a list of texts";
      return false;
    }
    std::vector<std::string> merged = Merged(old_values, list.values);
    lists.emplace_back(list.key, merged);
    touched.push_back(list.key);
    if (merged == old_values) continue;
    std::string emitted = TomlKey(list.key) + " = [";
    for (size_t i = 0; i < merged.size(); ++i) emitted += (i ? ", " : "") + Quoted(merged[i]);
    emitted += "]" + newline_;
    if (!node) {
      inserted += emitted;
      continue;
    }
    ReplaceLines(&block, node->source(), emitted);
  }
  if (inserted.empty() && block == text_.substr(block_begin_, block_end_ - block_begin_)) {
    *out = text_;
    return true;
  }
  block = inserted + block;
  if (!TomlEditKeeps(block, original, scalars_, touched, lists)) {
    *error = kCannotExtend;
    return false;
  }
  *out = text_.substr(0, block_begin_) + block + text_.substr(block_end_);
  return true;
}

}  // namespace tarn
