// FrontMatterLine: replaces the value of one top-level key of a post's
// front matter in place, where the key and its whole value stand on one
// line ("tags: a b c" in YAML, "date = 2019-03-05T10:00:00" in TOML). Every
// other byte of the file stays as it was. The importer uses it for values
// it writes again as the old site read them (a date with its offset, a
// space-separated list as a list); keys it adds go through
// FrontMatterEditor.
//
// A YAML block list or map (the key alone on its line, the value on the
// indented or "- " lines after it) is replaced as a whole by literal on
// the key's line.
//
// Thread safety: pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

class FrontMatterLine {
 public:
  // Replaces the value of key in the front matter block that opens *text
  // with literal (YAML or TOML, as the block is). Returns false, leaving
  // *text alone, when there is no such block, no such key at the top
  // level, or its value goes on past its line other than as a YAML block
  // list or map (a multi-line string, a flow list over several lines).
  static bool Replace(std::string* text, std::string_view key, std::string_view literal);
};

}  // namespace tarn
