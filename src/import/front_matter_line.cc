#include "import/front_matter_line.h"

namespace tarn {

namespace {

// The line of text starting at begin, without its line ending.
std::string_view LineAt(std::string_view text, size_t begin, size_t* next) {
  size_t end = text.find('\n', begin);
  *next = end == std::string_view::npos ? text.size() : end + 1;
  std::string_view line = text.substr(begin, *next - begin);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

// Where the value of key starts on line, or npos when line is not key's.
size_t ValueStart(std::string_view line, std::string_view key, char separator) {
  if (line.substr(0, key.size()) != key) return std::string_view::npos;
  size_t at = key.size();
  while (at < line.size() && line[at] == ' ') ++at;
  if (at >= line.size() || line[at] != separator) return std::string_view::npos;
  ++at;
  while (at < line.size() && line[at] == ' ') ++at;
  return at;
}

}  // namespace

bool FrontMatterLine::Replace(std::string* text, std::string_view key, std::string_view literal) {
  std::string_view all = *text;
  size_t next = 0;
  std::string_view fence = LineAt(all, 0, &next);
  if (fence != "---" && fence != "+++") return false;
  const char separator = fence == "---" ? ':' : '=';
  for (size_t begin = next; begin < all.size(); begin = next) {
    std::string_view line = LineAt(all, begin, &next);
    if (line == fence || (fence == "---" && line == "...")) return false;
    size_t value = ValueStart(line, key, separator);
    if (value == std::string_view::npos) continue;
    std::string_view rest = line.substr(value);
    size_t end = begin + line.size();
    if (rest.empty() && fence == "---") {
      // A block list or map: the indented and "- " lines that follow.
      for (size_t more = next; more < all.size();) {
        size_t after_more = 0;
        std::string_view item = LineAt(all, more, &after_more);
        if (item.empty() || item == fence || item == "..." ||
            (item[0] != ' ' && item[0] != '\t' && item[0] != '-')) {
          break;
        }
        end = more + item.size();
        more = after_more;
      }
      if (end == begin + line.size()) return false;  // no value at all
      text->replace(begin + value, end - begin - value, std::string(" ") + std::string(literal));
      return true;
    }
    // A value that opens a block, a multi-line string or an unclosed list
    // goes on past this line.
    if (rest.empty() || rest[0] == '|' || rest[0] == '>' || rest.substr(0, 3) == "\"\"\"" ||
        rest.substr(0, 3) == "'''" || (rest[0] == '[' && rest.back() != ']')) {
      return false;
    }
    size_t following = 0;
    std::string_view after = LineAt(all, next, &following);
    if (fence == "---" && !after.empty() && (after[0] == ' ' || after[0] == '\t')) return false;
    text->replace(begin + value, line.size() - value, literal);
    return true;
  }
  return false;
}

}  // namespace tarn
