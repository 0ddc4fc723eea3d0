// ImportText: the small text operations the importer's classes share: ASCII
// lower-casing (the generators compare setting names, extensions and
// section names that way), joining texts and quoting one for front matter.
//
// Thread safety: pure functions; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class ImportText {
 public:
  // text with A-Z turned into a-z; every other byte kept.
  static std::string Lowered(std::string_view text);

  // The texts with separator between each two.
  static std::string Joined(const std::vector<std::string>& texts, std::string_view separator);

  // value as a double-quoted string of YAML and TOML: '"' and '\'
  // escaped with a backslash.
  static std::string Quoted(std::string_view value);
};

}  // namespace tarn
