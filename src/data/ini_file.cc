#include "data/ini_file.h"

#include <strings.h>

#include <optional>
#include <string_view>
#include <vector>

#include "data/text_file.h"
#include "data/utf8.h"

namespace tarn {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// The section name of a "[name]" line, or nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  size_t close = line.find(']');
  return Trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
}

bool IsKeyLine(std::string_view line, std::string_view key) {
  line = Trim(line);
  if (line.empty() || line.front() == ';' || line.front() == '#') return false;
  size_t eq = line.find('=');
  return eq != std::string_view::npos && EqualsIgnoreCase(Trim(line.substr(0, eq)), key);
}

}  // namespace

IniFile::IniFile(const std::string& path) { loaded_ = ReadTextFile(path, &text_); }

std::string IniFile::GetString(const std::string& section, const std::string& key,
                               const std::string& fallback) const {
  std::string_view text = StripUtf8Bom(text_);
  bool in_section = false;
  while (!text.empty()) {
    size_t eol = text.find('\n');
    std::string_view line = Trim(text.substr(0, eol));
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (std::optional<std::string_view> name = SectionName(line)) {
      in_section = EqualsIgnoreCase(*name, section);
      continue;
    }
    if (!in_section) continue;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    if (!EqualsIgnoreCase(Trim(line.substr(0, eq)), key)) continue;
    std::string_view value = Trim(line.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    return std::string(value);
  }
  return fallback;
}

bool IniFile::SetString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value, std::string* error) {
  if (value.find_first_of("\r\n") != std::string::npos) {
    if (error) *error = path + ": a value cannot hold a line break";
    return false;
  }
  std::string text;
  ReadTextFile(path, &text);  // a missing file starts empty
  std::vector<std::string_view> lines;
  for (std::string_view rest = text; !rest.empty();) {
    size_t eol = rest.find('\n');
    lines.push_back(rest.substr(0, eol));
    rest.remove_prefix(eol == std::string_view::npos ? rest.size() : eol + 1);
  }
  const std::string entry = key + "=\"" + value + "\"";
  // The key's line in the section, or else the line after the section's
  // last non-empty line.
  std::optional<size_t> replace, insert_at;
  bool in_section = false;
  for (size_t i = 0; i < lines.size() && !replace; ++i) {
    if (std::optional<std::string_view> name = SectionName(lines[i])) {
      in_section = EqualsIgnoreCase(*name, section);
      if (in_section) insert_at = i + 1;
    } else if (in_section && IsKeyLine(lines[i], key)) {
      replace = i;
    } else if (in_section && !Trim(lines[i]).empty()) {
      insert_at = i + 1;
    }
  }
  std::string out;
  auto add = [&out](std::string_view line) {
    out.append(line);
    out += '\n';
  };
  for (size_t i = 0; i <= lines.size(); ++i) {
    if (!replace && insert_at == i) add(entry);
    if (i == lines.size()) break;
    add(replace == i ? std::string_view(entry) : lines[i]);
  }
  if (!replace && !insert_at) {
    if (!out.empty() && out != "\n") add("");
    add("[" + section + "]");
    add(entry);
  }
  return WriteTextFile(path, out, error);
}

}  // namespace tarn
