#include "content/post_summary.h"

#include <algorithm>
#include <vector>

namespace tarn {

namespace {

// Elements that have no closing tag.
bool IsVoid(std::string_view name) {
  for (std::string_view element : {"br", "img", "wbr", "input", "hr"}) {
    if (name == element) return true;
  }
  return false;
}

// The name of the tag that starts at tag[0] == '<', without a leading "/".
std::string_view TagName(std::string_view tag) {
  size_t start = tag.size() > 1 && tag[1] == '/' ? 2 : 1;
  size_t end = tag.find_first_of(" \t\n/>", start);
  return tag.substr(start, (end == std::string_view::npos ? tag.size() : end) - start);
}

// Whether the UTF-8 sequence led by lead is a character from U+3000 on,
// where scripts without blanks between words live.
bool IsWideLead(unsigned char lead) { return lead >= 0xE3; }

bool IsBlank(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; }

}  // namespace

std::string PostSummary::Of(std::string_view html) {
  size_t open = html.find("<p>");
  if (open == std::string_view::npos) return "";
  size_t close = html.find("</p>", open);
  if (close == std::string_view::npos) return "";
  std::string_view body = html.substr(open + 3, close - open - 3);
  std::vector<std::string_view> elements;  // inline elements open at i
  // Where the text read so far ends, and the elements open there: a cut
  // leaves out the tags between the last word kept and the next.
  size_t text_end = 0;
  std::vector<std::string_view> open_at_end;
  int words = 0;
  bool in_word = false;
  for (size_t i = 0; i < body.size();) {
    if (body[i] == '<') {
      size_t end = body.find('>', i);
      if (end == std::string_view::npos) break;
      std::string_view tag = body.substr(i, end + 1 - i);
      std::string_view name = TagName(tag);
      if (tag[1] == '/') {
        if (!elements.empty()) elements.pop_back();
      } else if (!IsVoid(name) && tag[tag.size() - 2] != '/') {
        elements.push_back(name);
      }
      i = end + 1;
      continue;
    }
    unsigned char c = body[i];
    bool wide = IsWideLead(c);
    if ((wide || (!IsBlank(body[i]) && !in_word)) && ++words > kMaxWords) {
      std::string cut(body.substr(0, text_end));
      while (!cut.empty() && IsBlank(cut.back())) cut.pop_back();
      cut = "<p>" + cut + "…";
      for (auto it = open_at_end.rbegin(); it != open_at_end.rend(); ++it) {
        cut += "</" + std::string(*it) + ">";
      }
      return cut + "</p>";
    }
    in_word = !IsBlank(body[i]) && !wide;
    size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    i += std::min(length, body.size() - i);
    if (!IsBlank(body[i - 1])) {
      text_end = i;
      open_at_end = elements;
    }
  }
  return std::string(html.substr(open, close + 4 - open));
}

}  // namespace tarn
