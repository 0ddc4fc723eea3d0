// ImportText: the small text operations the importer's classes share: ASCII
// lower-casing (the generators compare setting names, extensions and
// section names that way) and joining texts.
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
};

}  // namespace tarn
