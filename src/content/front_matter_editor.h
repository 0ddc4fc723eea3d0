// FrontMatterEditor: adds keys to the front matter of a post that a blogger
// wrote, leaving every other byte of the file as it was: the keys, values,
// comments, order and line endings already there, and the body.
//
// YAML front matter (a first line "---", closed by "---" or "...") gets the
// new keys as lines before its closing line; TOML front matter (between
// "+++" lines) gets them right after its opening line, where top-level keys
// must stand. A list key that is already there is written again in place,
// with its old entries first. A post without front matter gets a YAML block.
// Every edit is parsed again (yaml-cpp, toml++) and refused unless the
// result holds exactly the old keys plus the new values.
//
// Thread safety: none needed; an editor is used by one thread.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "content/front_matter.h"

namespace tarn {

class FrontMatterEditor {
 public:
  // The largest front matter block an editor parses, in bytes: as much as
  // the build reads.
  static constexpr size_t kMaxBlockBytes = FrontMatter::kMaxBytes;

  // text: the whole post.
  explicit FrontMatterEditor(std::string text);

  // Adds key with a value written as it stands (a number, "true", a date
  // such as 2019-03-05) unless the front matter has that key already.
  void AddScalarIfMissing(const std::string& key, const std::string& literal);

  // Adds the strings in values to the list under key, after its entries
  // and without repeating one. An existing single string counts as a list
  // of one.
  void AddToList(const std::string& key, const std::vector<std::string>& values);

  // Sets key to value in place: the lines of the key already there are
  // replaced, else the key is added; an empty value removes the key. Text
  // is written quoted, a literal (true, 2019-03-05 10:00:00) as it stands.
  // YAML front matter (or none) only: Apply refuses TOML with settings.
  void SetText(const std::string& key, const std::string& value);
  void SetLiteral(const std::string& key, const std::string& literal);
  // Sets the list under key to values in place; an empty list removes it.
  void SetList(const std::string& key, const std::vector<std::string>& values);

  // True when the front matter holds key (false without front matter).
  // Meaningful after Apply or before it; parses on first use.
  bool Has(const std::string& key);

  // Makes the edited post. Returns false, setting *error to the reason,
  // when the front matter cannot be read (it does not parse, is larger than
  // kMaxBlockBytes, is JSON, or its list key holds something other than
  // strings, or it is TOML and keys are set) or the edit would change more
  // than it should; *out is then
  // untouched. With nothing to add, *out is the text as it was.
  bool Apply(std::string* out, std::string* error);

 private:
  enum class Format { kNone, kYaml, kToml, kOther };
  struct ListAddition {
    std::string key;
    std::vector<std::string> values;
  };
  // A key set: to a text, a literal or a list (kind), or removed (empty).
  struct Setting {
    enum class Kind { kText, kLiteral, kList } kind;
    std::string key;
    std::string value;
    std::vector<std::string> values;
  };

  bool Parse(std::string* error);
  bool ApplyYaml(std::string* out, std::string* error);
  // Puts sets_ into block (YAML) and checks that nothing else changed.
  bool SetYaml(std::string* block, std::string* error) const;
  bool ApplyToml(std::string* out, std::string* error);

  std::string text_;
  std::string newline_ = "\n";
  Format format_ = Format::kNone;
  // The block between the delimiter lines: [block_begin_, block_end_).
  size_t block_begin_ = 0;
  size_t block_end_ = 0;
  bool parsed_ = false;
  bool parse_ok_ = false;
  std::string parse_error_;
  std::vector<std::string> keys_;  // top-level keys, as parsed
  std::vector<std::pair<std::string, std::string>> scalars_;
  std::vector<ListAddition> lists_;
  std::vector<Setting> sets_;
};

}  // namespace tarn
