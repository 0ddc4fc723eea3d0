#include "import/tag_arguments.h"

namespace tarn {

namespace {

bool IsNameByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-';
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The word at *at, its quotes removed; moves *at past it.
std::string WordAt(std::string_view text, size_t* at) {
  std::string word;
  while (*at < text.size() && !IsSpace(text[*at])) {
    char c = text[*at];
    if (c == '`') {
      size_t close = text.find(c, *at + 1);
      if (close == std::string_view::npos) close = text.size();
      word.append(text.substr(*at + 1, close - *at - 1));
      *at = close == text.size() ? close : close + 1;
      continue;
    }
    if (c == '"') {  // \" and \\ stand for a quote and a backslash
      for (++*at; *at < text.size() && text[*at] != '"'; ++*at) {
        if (text[*at] == '\\' && *at + 1 < text.size() &&
            (text[*at + 1] == '"' || text[*at + 1] == '\\')) {
          ++*at;
        }
        word += text[*at];
      }
      if (*at < text.size()) ++*at;
      continue;
    }
    word += c;
    ++*at;
  }
  return word;
}

}  // namespace

TagArguments TagArguments::Parse(std::string_view text) {
  TagArguments arguments;
  size_t at = 0;
  while (true) {
    while (at < text.size() && IsSpace(text[at])) ++at;
    if (at >= text.size()) break;
    size_t name_end = at;
    while (name_end < text.size() && IsNameByte(text[name_end])) ++name_end;
    if (name_end > at && name_end < text.size() && text[name_end] == '=') {
      std::string name(text.substr(at, name_end - at));
      at = name_end + 1;
      arguments.named_[name] = WordAt(text, &at);
    } else {
      arguments.positional_.push_back(WordAt(text, &at));
    }
  }
  return arguments;
}

std::string TagArguments::Get(std::string_view name, size_t index) const {
  if (auto found = named_.find(name); found != named_.end()) return found->second;
  return index < positional_.size() ? positional_[index] : "";
}

std::string TagArguments::Named(std::string_view name) const {
  auto found = named_.find(name);
  return found == named_.end() ? "" : found->second;
}

}  // namespace tarn
