#include "content/flat_yaml.h"

#include <set>
#include <string>

#include "content/front_matter.h"
#include "data/utf8.h"

namespace tarn {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlnum(char c) { return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A plain YAML scalar that reads as a JSON number ("12", "-0.5", "1e3").
bool IsJsonNumber(std::string_view s) {
  std::size_t i = 0;
  auto digits = [&] {
    std::size_t start = i;
    while (i < s.size() && IsDigit(s[i])) ++i;
    return i > start;
  };
  if (i < s.size() && s[i] == '-') ++i;
  if (i < s.size() && s[i] == '0') {
    ++i;
  } else if (!digits()) {
    return false;
  }
  if (i < s.size() && s[i] == '.') {
    ++i;
    if (!digits()) return false;
  }
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (!digits()) return false;
  }
  return i == s.size();
}

// Text the form takes at all: well-formed UTF-8 without tabs, control
// characters (but line breaks), a byte-order mark, or the characters YAML
// 1.1 reads as line breaks (NEL, LS, PS). A CR must end its line.
bool PlainCharacters(std::string_view block) {
  const auto* p = reinterpret_cast<const unsigned char*>(block.data());
  const auto* end = p + block.size();
  while (p < end) {
    unsigned char c = *p;
    if (c < 0x80) {
      if ((c < 0x20 && c != '\n' && c != '\r') || c == 0x7F) return false;
      if (c == '\r' && (p + 1 == end || p[1] != '\n')) return false;
      ++p;
      continue;
    }
    int n = Utf8SequenceLength(p, end);
    if (n == 0) return false;
    char32_t code = DecodeUtf8Sequence(p, n);
    if ((code >= 0x80 && code <= 0x9F) || code == 0x2028 || code == 0x2029 || code == 0xFEFF ||
        code == 0xFFFE || code == 0xFFFF)
      return false;
    p += n;
  }
  return true;
}

std::string_view TrimEnd(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

std::string_view TrimStart(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return s;
}

// What may follow a scalar on its line: blanks, then nothing or a comment.
bool OnlyComment(std::string_view rest) {
  std::string_view trimmed = TrimStart(rest);
  return trimmed.empty() || (trimmed.front() == '#' && trimmed.size() < rest.size());
}

// Whether a plain scalar may start with v's first character: not one of
// YAML's indicators ("-" only before a digit, as in -1).
bool StartsPlain(std::string_view v) {
  char c = v.front();
  if (IsAlnum(c) || static_cast<unsigned char>(c) >= 0x80) return true;
  if (c == '-') return v.size() > 1 && IsDigit(v[1]);
  return std::string_view("_./($+~=<;^").find(c) != std::string_view::npos;
}

// A quoted scalar at the start of v: its text, and in *used how many bytes
// of v it took. False for an unclosed one or a backslash escape.
bool ReadQuoted(std::string_view v, std::string* text, std::size_t* used) {
  const char quote = v.front();
  text->clear();
  for (std::size_t i = 1; i < v.size(); ++i) {
    if (quote == '"' && v[i] == '\\') return false;
    if (v[i] != quote) {
      text->push_back(v[i]);
    } else if (quote == '\'' && i + 1 < v.size() && v[i + 1] == '\'') {
      text->push_back('\'');
      ++i;
    } else {
      *used = i + 1;
      return true;
    }
  }
  return false;
}

// The scalar that v (a value, up to the end of its line) is: quoted or
// plain; false for anything else.
bool ReadScalar(std::string_view v, JsonDocument* value) {
  if (v.front() == '"' || v.front() == '\'') {
    std::string text;
    std::size_t used = 0;
    if (!ReadQuoted(v, &text, &used) || !OnlyComment(v.substr(used))) return false;
    *value = JsonDocument::NewText(text);
    return true;
  }
  if (!StartsPlain(v)) return false;
  std::size_t comment = v.find(" #");
  std::string_view text = TrimEnd(v.substr(0, comment));
  if (text.find(": ") != std::string_view::npos || text.back() == ':') return false;
  *value = FlatYaml::PlainScalar(text);
  return true;
}

// One item of a flow list at v[*at], leaving *at on the "," or "]" after it.
bool ReadFlowItem(std::string_view v, std::size_t* at, JsonDocument* item) {
  std::string_view rest = v.substr(*at);
  std::size_t used = 0;
  if (rest.front() == '"' || rest.front() == '\'') {
    std::string text;
    if (!ReadQuoted(rest, &text, &used)) return false;
    *item = JsonDocument::NewText(text);
  } else {
    used = rest.find_first_of(",]");
    if (used == std::string_view::npos) return false;
    std::string_view text = TrimEnd(rest.substr(0, used));
    if (text.empty() || !StartsPlain(text) ||
        text.find_first_of("[]{}#:\"'") != std::string_view::npos)
      return false;
    *item = FlatYaml::PlainScalar(text);
  }
  *at += used;
  while (*at < v.size() && v[*at] == ' ') ++*at;
  return *at < v.size() && (v[*at] == ',' || v[*at] == ']');
}

// A one-line flow list "[a, 'b', "c"]" (v starts with "["), or false.
bool ReadFlowList(std::string_view v, JsonDocument* list, int* values) {
  *list = JsonDocument::NewArray();
  std::size_t at = 1;
  while (at < v.size() && v[at] == ' ') ++at;
  if (at < v.size() && v[at] == ']') return OnlyComment(v.substr(at + 1));
  for (;;) {
    while (at < v.size() && v[at] == ' ') ++at;
    JsonDocument item;
    if (at >= v.size() || !ReadFlowItem(v, &at, &item)) return false;
    list->Append("", std::move(item));
    ++*values;
    if (v[at++] == ']') return OnlyComment(v.substr(at));
  }
}

// The lines of a block, with a CR before the LF removed.
class Lines {
 public:
  explicit Lines(std::string_view block) : block_(block) {}
  bool Next(std::string_view* line) {
    if (pos_ > block_.size()) return false;
    last_ = pos_;
    std::size_t end = block_.find('\n', pos_);
    if (end == std::string_view::npos) end = block_.size();
    *line = block_.substr(pos_, end - pos_);
    if (!line->empty() && line->back() == '\r') line->remove_suffix(1);
    pos_ = end + 1;
    return true;
  }
  // Puts the line Next gave last back.
  void Back() { pos_ = last_; }

 private:
  std::string_view block_;
  std::size_t pos_ = 0;
  std::size_t last_ = 0;
};

bool IsBlankOrComment(std::string_view line) {
  std::string_view trimmed = TrimStart(line);
  return trimmed.empty() || trimmed.front() == '#';
}

// The "- item" lines after a key without a value: a list, or null when
// the next key follows at once. False for anything else under the key.
bool ReadItems(Lines* lines, JsonDocument* value, int* values) {
  *value = JsonDocument::NewNull();
  std::size_t indent = std::string_view::npos;
  std::string_view line;
  while (lines->Next(&line)) {
    if (IsBlankOrComment(line)) continue;
    std::size_t spaces = line.find_first_not_of(' ');
    if (line[spaces] != '-' || (line.size() > spaces + 1 && line[spaces + 1] != ' ')) {
      if (spaces != 0) return false;  // something nested under the key
      lines->Back();
      return true;
    }
    if (indent == std::string_view::npos) {
      indent = spaces;
      *value = JsonDocument::NewArray();
    } else if (spaces != indent) {
      return false;
    }
    std::string_view item = TrimStart(line.substr(spaces + 1));
    JsonDocument scalar = JsonDocument::NewNull();
    if (!item.empty() && item.front() != '#' && !ReadScalar(item, &scalar)) return false;
    value->Append("", std::move(scalar));
    ++*values;
  }
  return true;
}

}  // namespace

JsonDocument FlatYaml::PlainScalar(std::string_view s) {
  if (s.empty() || s == "~" || s == "null" || s == "Null" || s == "NULL")
    return JsonDocument::NewNull();
  if (s == "true" || s == "True" || s == "TRUE") return JsonDocument::NewBool(true);
  if (s == "false" || s == "False" || s == "FALSE") return JsonDocument::NewBool(false);
  if (IsJsonNumber(s)) {
    JsonDocument number;
    if (number.Create(s)) return number;  // keeps the digits as written
  }
  return JsonDocument::NewText(std::string(s));
}

bool FlatYaml::Read(std::string_view block, JsonDocument* values) {
  if (!PlainCharacters(block)) return false;
  JsonDocument object = JsonDocument::NewObject();
  std::set<std::string_view> keys;
  int count = 1;
  Lines lines(block);
  std::string_view line;
  while (lines.Next(&line)) {
    if (IsBlankOrComment(line)) continue;
    std::size_t colon = 0;
    while (colon < line.size() && (IsAlnum(line[colon]) || line[colon] == '_' ||
                                   (colon > 0 && (line[colon] == '-' || line[colon] == '.'))))
      ++colon;
    if (colon == 0 || colon == line.size() || line[colon] != ':') return false;
    if (colon + 1 < line.size() && line[colon + 1] != ' ') return false;
    std::string_view key = line.substr(0, colon);
    if (!keys.insert(key).second) return false;
    std::string_view rest = TrimStart(line.substr(colon + 1));
    JsonDocument value;
    if (rest.empty() || rest.front() == '#') {
      if (!ReadItems(&lines, &value, &count)) return false;
    } else if (rest.front() == '[') {
      if (!ReadFlowList(rest, &value, &count)) return false;
    } else if (!ReadScalar(rest, &value)) {
      return false;
    }
    object.SetObject("", std::string(key), std::move(value));
    if (++count > FrontMatter::kMaxValues) return false;
  }
  *values = std::move(object);
  return true;
}

}  // namespace tarn
