#include "script/page_scripts.h"

#include <cstdint>
#include <cstdlib>
#include <optional>

#include "data/text_file.h"

namespace tarn {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerString(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Lower(c);
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

// True when html[i..] starts with word (lower case), ignoring case.
bool StartsWithNoCase(std::string_view html, size_t i, std::string_view word) {
  if (html.size() - i < word.size()) return false;
  for (size_t k = 0; k < word.size(); ++k) {
    if (Lower(html[i + k]) != word[k]) return false;
  }
  return true;
}

// True when html[i..] is "<name" or "</name" (per `closing`) followed by a
// character that ends a tag name.
bool TagAt(std::string_view html, size_t i, std::string_view name, bool closing) {
  std::string_view open = closing ? "</" : "<";
  if (html.compare(i, open.size(), open) != 0) return false;
  size_t n = i + open.size();
  if (!StartsWithNoCase(html, n, name)) return false;
  n += name.size();
  return n < html.size() && (IsSpace(html[n]) || html[n] == '/' || html[n] == '>');
}

// Character references name code points; the ones HTML maps to U+FFFD
// (NUL, surrogates, beyond Unicode) become that.
void AppendReference(std::string* out, uint32_t cp) {
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  AppendUtf8(out, static_cast<char32_t>(cp));
}

// Attribute values may hold character references ("a.js?x=1&amp;y=2"). The
// common named ones and numeric ones are decoded; anything else is kept.
std::string DecodeAttribute(std::string_view value) {
  static const struct {
    std::string_view name;
    char c;
  } kNamed[] = {{"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"apos;", '\''}};
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '&') {
      out.push_back(value[i]);
      continue;
    }
    std::string_view rest = value.substr(i + 1);
    bool done = false;
    for (const auto& named : kNamed) {
      if (rest.substr(0, named.name.size()) == named.name) {
        out.push_back(named.c);
        i += named.name.size();
        done = true;
        break;
      }
    }
    if (!done && !rest.empty() && rest[0] == '#') {
      bool hex = rest.size() > 1 && (rest[1] == 'x' || rest[1] == 'X');
      size_t start = hex ? 2 : 1;
      size_t end = rest.find(';', start);
      if (end != std::string_view::npos && end > start && end - start <= 8) {
        std::string digits(rest.substr(start, end - start));
        char* stop = nullptr;
        unsigned long cp = std::strtoul(digits.c_str(), &stop, hex ? 16 : 10);
        if (stop && *stop == '\0') {
          AppendReference(&out, static_cast<uint32_t>(cp));
          i += end + 1;
          done = true;
        }
      }
    }
    if (!done) out.push_back('&');
  }
  return out;
}

struct Tag {
  std::string name;  // lower case
  std::vector<std::pair<std::string, std::optional<std::string>>> attributes;
  size_t end = 0;  // index just past the closing ">" (or the end of the page)
};

// Reads a start or end tag whose name begins at html[i] (after "<" or "</").
Tag ReadTag(std::string_view html, size_t i) {
  Tag tag;
  while (i < html.size() && !IsSpace(html[i]) && html[i] != '/' && html[i] != '>') {
    tag.name.push_back(Lower(html[i++]));
  }
  while (i < html.size()) {
    char c = html[i];
    if (c == '>') {
      tag.end = i + 1;
      return tag;
    }
    if (IsSpace(c) || c == '/') {
      ++i;
      continue;
    }
    std::string name;
    name.push_back(Lower(c));  // a leading "=" belongs to the name
    ++i;
    while (i < html.size() && !IsSpace(html[i]) && html[i] != '/' && html[i] != '>' &&
           html[i] != '=') {
      name.push_back(Lower(html[i++]));
    }
    size_t j = i;
    while (j < html.size() && IsSpace(html[j])) ++j;
    std::optional<std::string> value;
    if (j < html.size() && html[j] == '=') {
      i = j + 1;
      while (i < html.size() && IsSpace(html[i])) ++i;
      if (i < html.size() && (html[i] == '"' || html[i] == '\'')) {
        char quote = html[i++];
        size_t close = html.find(quote, i);
        if (close == std::string_view::npos) close = html.size();
        value = DecodeAttribute(html.substr(i, close - i));
        i = close < html.size() ? close + 1 : close;
      } else {
        size_t start = i;
        while (i < html.size() && !IsSpace(html[i]) && html[i] != '>') ++i;
        value = DecodeAttribute(html.substr(start, i - start));
      }
    }
    bool duplicate = false;  // the first of two same-named attributes wins
    for (const auto& a : tag.attributes) duplicate = duplicate || a.first == name;
    if (!duplicate) tag.attributes.emplace_back(std::move(name), std::move(value));
  }
  tag.end = html.size();
  return tag;
}

const std::optional<std::string>* FindAttribute(const Tag& tag, std::string_view name) {
  for (const auto& a : tag.attributes) {
    if (a.first == name) return &a.second;
  }
  return nullptr;
}

bool IsJavaScriptType(std::string_view type) {
  static const std::string_view kTypes[] = {"application/ecmascript",
                                            "application/javascript",
                                            "application/x-ecmascript",
                                            "application/x-javascript",
                                            "text/ecmascript",
                                            "text/javascript",
                                            "text/javascript1.0",
                                            "text/javascript1.1",
                                            "text/javascript1.2",
                                            "text/javascript1.3",
                                            "text/javascript1.4",
                                            "text/javascript1.5",
                                            "text/jscript",
                                            "text/livescript",
                                            "text/x-ecmascript",
                                            "text/x-javascript"};
  std::string lower = LowerString(type);
  for (std::string_view t : kTypes) {
    if (lower == t) return true;
  }
  return false;
}

PageScript::Kind KindOf(const Tag& tag) {
  const std::optional<std::string>* type = FindAttribute(tag, "type");
  std::string type_string;
  if (type && type->has_value() && !(*type)->empty()) {
    type_string = **type;
  } else if (!type) {
    const std::optional<std::string>* language = FindAttribute(tag, "language");
    if (language && language->has_value() && !(*language)->empty()) {
      type_string = "text/" + **language;
    }
  }
  std::string_view trimmed = Trim(type_string);
  if (trimmed.empty() || IsJavaScriptType(trimmed)) return PageScript::kClassic;
  std::string lower = LowerString(trimmed);
  if (lower == "module") return PageScript::kModule;
  if (lower == "importmap") return PageScript::kImportMap;
  return PageScript::kData;
}

// Where a script's text ends: the index of the "</script" that closes it, or
// npos. Follows the tokenizer's escaped states, in which "<!--" ... "-->"
// around "<script>...</script>" keeps that inner end tag from closing the
// element.
size_t FindScriptEnd(std::string_view html, size_t i) {
  enum { kData, kEscaped, kDoubleEscaped } state = kData;
  while (i < html.size()) {
    if (html[i] == '<') {
      if (state != kDoubleEscaped && TagAt(html, i, "script", true)) return i;
      if (state == kData && html.compare(i, 4, "<!--") == 0) {
        state = kEscaped;
        i += 2;  // the "--" may also start "-->" as in "<!-->"
        continue;
      }
      if (state == kEscaped && TagAt(html, i, "script", false)) {
        state = kDoubleEscaped;
        i += 7;
        continue;
      }
      if (state == kDoubleEscaped && TagAt(html, i, "script", true)) {
        state = kEscaped;
        i += 8;
        continue;
      }
    } else if (state != kData && html.compare(i, 3, "-->") == 0) {
      state = kData;
      i += 3;
      continue;
    }
    ++i;
  }
  return std::string_view::npos;
}

// Counts lines forward; positions asked for never go backwards.
class LineCounter {
 public:
  explicit LineCounter(std::string_view text) : text_(text) {}
  int LineAt(size_t pos) {
    for (; pos_ < pos && pos_ < text_.size(); ++pos_) {
      char c = text_[pos_];
      if (c == '\n' || (c == '\r' && (pos_ + 1 >= text_.size() || text_[pos_ + 1] != '\n'))) {
        ++line_;
      }
    }
    return line_;
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  int line_ = 1;
};

// Where reading goes on after the comment, doctype or bogus comment that
// starts at html[i] (a "<"); npos when none starts there.
size_t SkipNonTag(std::string_view html, size_t i) {
  if (html.compare(i, 4, "<!--") == 0) {
    size_t end = html.find("-->", i + 2);
    return end == std::string_view::npos ? html.size() : end + 3;
  }
  if (i + 1 < html.size() && (html[i + 1] == '!' || html[i + 1] == '?')) {
    size_t end = html.find('>', i);  // doctype or bogus comment
    return end == std::string_view::npos ? html.size() : end + 1;
  }
  return std::string_view::npos;
}

// Elements whose content is text up to their end tag, never markup.
bool IsRawText(std::string_view name) {
  static const std::string_view kRawText[] = {"style",  "textarea", "title",    "xmp",
                                              "iframe", "noembed",  "noframes", "noscript"};
  for (std::string_view raw : kRawText) {
    if (name == raw) return true;
  }
  return false;
}

// The script whose start tag, read as `tag`, begins at html[tag_start]. *i
// stands just past the start tag and moves past the end tag, or to the end
// of html when there is none (an unterminated script).
PageScript ReadScript(std::string_view html, const Tag& tag, size_t tag_start, size_t* i,
                      LineCounter* lines) {
  PageScript script;
  script.tag_line = lines->LineAt(tag_start);
  script.text_line = lines->LineAt(*i);
  script.kind = KindOf(tag);
  if (const auto* src = FindAttribute(tag, "src")) {
    script.has_src = true;
    script.src = src->value_or("");
  }
  if (const auto* type = FindAttribute(tag, "type")) script.type = type->value_or("");
  script.defer = FindAttribute(tag, "defer") != nullptr;
  script.async = FindAttribute(tag, "async") != nullptr;
  size_t end = FindScriptEnd(html, *i);
  if (end == std::string_view::npos) {
    script.kind = PageScript::kUnterminated;
    script.text = std::string(html.substr(*i));
    *i = html.size();
  } else {
    script.text = std::string(html.substr(*i, end - *i));
    *i = ReadTag(html, end + 2).end;
  }
  return script;
}

}  // namespace

std::vector<PageScript> ExtractPageScripts(std::string_view html) {
  std::vector<PageScript> scripts;
  LineCounter lines(html);
  int template_depth = 0;
  size_t i = 0;
  while (i < html.size()) {
    size_t lt = html.find('<', i);
    if (lt == std::string_view::npos) break;
    i = lt;
    if (size_t after = SkipNonTag(html, i); after != std::string_view::npos) {
      i = after;
      continue;
    }
    bool closing = i + 1 < html.size() && html[i + 1] == '/';
    size_t name_at = i + (closing ? 2 : 1);
    if (name_at >= html.size() || !IsAlpha(html[name_at])) {
      ++i;  // a lone "<" is text
      continue;
    }
    Tag tag = ReadTag(html, name_at);
    size_t tag_start = i;
    i = tag.end;
    if (closing) {
      if (tag.name == "template" && template_depth > 0) --template_depth;
      continue;
    }
    if (tag.name == "template") {
      ++template_depth;
      continue;
    }
    if (tag.name == "plaintext") break;
    if (IsRawText(tag.name)) {
      while (i < html.size() && !TagAt(html, i, tag.name, true)) ++i;
      continue;
    }
    if (tag.name != "script") continue;
    PageScript script = ReadScript(html, tag, tag_start, &i, &lines);
    if (template_depth == 0) scripts.push_back(std::move(script));
  }
  return scripts;
}

}  // namespace tarn
