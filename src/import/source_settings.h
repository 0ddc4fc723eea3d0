// SourceSettings: an old site's settings file (_config.yml, hugo.toml,
// config.json, permalinks.yaml), read into one tree whatever its format, so
// that each generator's source asks for its settings by name.
//
// YAML and JSON (which YAML reads) are taken as written; TOML becomes the
// same tree: tables and arrays as maps and sequences, every other value as
// the text TOML writes for it (dates as 2019-03-05T10:00:00Z). Names are
// compared without case, as Hugo's are; the other generators' names are
// lower case anyway.
//
// A SourceSettings is a view: copies share the tree, and nothing changes it
// after Load.
//
// Thread safety: none; one thread reads a tree.
#pragma once

#include <yaml-cpp/yaml.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarn {

class SourceSettings {
 public:
  // Settings files larger than this are not read.
  static constexpr std::uintmax_t kMaxBytes = 1u << 20;

  // An empty tree: every question has no answer.
  SourceSettings() = default;
  SourceSettings(const SourceSettings& other) = default;
  // Points this view at other's tree (never writes into the tree this one
  // viewed, as assigning yaml-cpp nodes would).
  SourceSettings& operator=(const SourceSettings& other);

  // Reads file, as TOML when its name ends in ".toml", else as YAML.
  // Returns false, leaving *this as it was and setting *error, when it is
  // missing or unreadable ("FILE: cannot read"), over kMaxBytes ("FILE: too
  // large to read"), or does not parse ("FILE:LINE: what is wrong").
  bool Load(const std::filesystem::path& file, std::string* error);

  // Whether this tree is a map of names.
  bool IsMap() const { return node_.IsMap(); }

  // The value named key in this map (without case), or an empty tree.
  SourceSettings Get(std::string_view key) const;

  // The text of the value named key, "" when it is not a single value.
  std::string Text(std::string_view key) const;

  // The value named key read as true/yes/on or false/no/off (any case);
  // fallback for a missing value or any other text.
  bool Flag(std::string_view key, bool fallback) const;

  // The texts of a list named key, a single text as a list of one; values
  // that are not single values are left out.
  std::vector<std::string> Texts(std::string_view key) const;

  // The names of this map's entries, as written and in the file's order;
  // a list's single values when this is a list.
  std::vector<std::string> Names() const;

  // The entries of this map whose name and value are both single values,
  // as written and in the file's order.
  std::vector<std::pair<std::string, std::string>> TextEntries() const;

 private:
  explicit SourceSettings(YAML::Node node) : node_(std::move(node)) {}

  YAML::Node node_;
};

}  // namespace tarn
