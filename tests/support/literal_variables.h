// LiteralVariables: the template variables pass done exactly as defined:
// every "{$name}" match's text replaced in the whole current text, match by
// match, with the variable's text from data. Quadratic in the text's size; the
// reference the template engine's own pass is checked and measured against.
#pragma once

#include <string>

#include "data/json_document.h"
#include "data/regex_object.h"

namespace tarn {

inline std::string LiteralVariables(const std::string& input, const JsonDocument& data) {
  RegexObject re;
  re.Execute(R"re({\$(.*?)})re", input);
  std::string text = input;
  for (int i = 1; i <= re.GetMatchCount(); ++i) {
    std::string from = re.GetMatch(i);
    std::string to = data.GetText(re.GetSubMatch(i, 1));
    std::string out;
    size_t pos = 0;
    for (size_t hit; (hit = text.find(from, pos)) != std::string::npos; pos = hit + from.size())
      out += text.substr(pos, hit - pos) + to;
    text = out + text.substr(pos);
  }
  return text;
}

}  // namespace tarn
