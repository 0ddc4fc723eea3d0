// SealedValues: the values one expansion of a template puts in that no
// later pass may read as template syntax. An escaped value ({$PATH|e}) and
// a value the data inserts verbatim (TemplateData::IsVerbatim: a post's
// HTML) stand in the text as a seal, a mark, a number and the mark again,
// while the loop and variables passes run; Open puts the values back once
// they are done. A value without braces cannot be read as syntax and goes
// in as it is.
//
// The mark is U+FDD0, a code point Unicode keeps for a program's own use.
// One that a template or a value holds itself is sealed too (standing for
// itself), so every mark in the text during the passes belongs to a seal.
//
// Thread safety: none; one expansion uses one instance.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "template/template_data.h"

namespace tarn {

class SealedValues {
 public:
  // The suffix of a placeholder's path that asks for the value escaped.
  static constexpr std::string_view kEscapeSuffix = "|e";

  // The text a placeholder stands for while the passes run. path: its
  // path, any loop key replaced by its element ("posts[2].title|e").
  // "PATH|e" gives the value at PATH with & < > " ' as character
  // references. Missing data gives "".
  std::string Value(std::string_view path, const TemplateData& data);

  // text with its own marks sealed; for template text before the passes.
  std::string Seal(std::string_view text);

  // text with every seal replaced by its value; for the passes' result.
  std::string Open(std::string text) const;

 private:
  // The seal of value, which is kept.
  std::string Add(std::string value);

  std::vector<std::string> values_;
};

}  // namespace tarn
