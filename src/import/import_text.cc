#include "import/import_text.h"

#include <cctype>

namespace tarn {

std::string ImportText::Lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string ImportText::Joined(const std::vector<std::string>& texts, std::string_view separator) {
  std::string out;
  for (size_t i = 0; i < texts.size(); ++i) {
    if (i) out += separator;
    out += texts[i];
  }
  return out;
}

std::string ImportText::Quoted(std::string_view value) {
  std::string out = "\"";
  for (char c : value) {
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

}  // namespace tarn
