#include "data/json_parser.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <new>
#include <system_error>
#include <vector>

#include "data/json_numbers.h"
#include "data/json_tree.h"
#include "data/utf8.h"

namespace tarn::json_internal {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The value of the four hex digits at raw[at]; -1 when they are not that.
int Hex4(std::string_view raw, std::size_t at) {
  if (at + 4 > raw.size()) return -1;
  int value = 0;
  for (std::size_t k = 0; k < 4; ++k) {
    int d = HexDigit(raw[at + k]);
    if (d < 0) return -1;
    value = value * 16 + d;
  }
  return value;
}

// What a number token holds, counted by ScanNumber.
struct NumberShape {
  int dots = 0;
  int exponents = 0;
  int signs = 0;  // after the first character
  int digits = 0;
  bool blanks = false;  // bytes up to a space inside the token
};

// False when token is not a number the lenient syntax accepts: it starts
// with a sign, a dot or a digit, holds at most one dot, one exponent and
// one more sign besides digits and blanks, and at least one digit (a lone
// "-" or "." would be written back as an unreadable literal).
inline bool ScanNumber(std::string_view token, NumberShape* shape) {
  char first = token[0];
  if (!(first == '+' || first == '-' || first == '.' || (first >= '0' && first <= '9'))) {
    return false;
  }
  shape->dots = first == '.' ? 1 : 0;
  shape->digits = (first >= '0' && first <= '9') ? 1 : 0;
  for (std::size_t i = 1; i < token.size(); ++i) {
    auto c = static_cast<unsigned char>(token[i]);
    if (c <= 32) {
      shape->blanks = true;
    } else if (c >= '0' && c <= '9') {
      ++shape->digits;
    } else if (c == '.') {
      if (++shape->dots > 1) return false;
    } else if (c == 'e' || c == 'E') {
      if (++shape->exponents > 1) return false;
    } else if (c == '+' || c == '-') {
      if (++shape->signs > 1) return false;
    } else {
      return false;
    }
  }
  return shape->digits > 0;
}

// Makes node the number token stands for, keeping its text without blanks:
// an integer when it is plain digits that fit in 64 bits, else a double.
inline void StoreNumber(std::string_view token, const NumberShape& shape, JsonNode* node) {
  if (shape.blanks) {
    node->text.clear();
    for (char c : token) {
      if (static_cast<unsigned char>(c) > 32) node->text.push_back(c);
    }
  } else {
    node->text.assign(token);
  }
  std::string_view literal = node->text;
  std::string_view unsigned_part = literal[0] == '+' ? literal.substr(1) : literal;
  if (shape.dots == 0 && shape.exponents == 0 && shape.signs == 0) {
    std::int64_t value = 0;
    auto result =
        std::from_chars(unsigned_part.data(), unsigned_part.data() + unsigned_part.size(), value);
    if (result.ec == std::errc() && result.ptr == unsigned_part.data() + unsigned_part.size()) {
      node->type = JsonDocument::kInteger;
      node->num.i = value;
      return;
    }
    // Too large for 64 bits: still a number, kept as a double.
  }
  node->type = JsonDocument::kDouble;
  node->num.d = ParseLeadingDouble(literal);
}

}  // namespace

bool JsonParser::ParseInto(JsonNode* root, std::string_view text, const JsonParseOptions& options,
                           JsonDocument::ParseResult* result) {
  JsonDocument::ParseResult local;
  JsonDocument::ParseResult& r = result ? *result : local;
  MakeEmpty(root, JsonDocument::kObject);
  try {
    JsonParser parser(text, options.decode_unicode_escapes);
    if (parser.Run(root, options.reject_top_level_scalar)) {
      r.code = JsonDocument::kOk;
      r.position = 0;
      return true;
    }
    r.code = parser.error_;
    r.position = json_text::Utf16Length(text.substr(0, parser.error_offset_));
  } catch (const std::bad_alloc&) {
    r.code = JsonDocument::kOutOfMemory;
    r.position = 0;
  }
  MakeEmpty(root, JsonDocument::kObject);
  return false;
}

// Finds the closing quote of the string starting at `start`. A backslash
// makes the next character literal; "\u" steps over the whole escape.
bool JsonParser::ScanQuoted(std::size_t start, std::size_t* close) const {
  const char quote = p_[start];
  std::size_t i = start + 1;
  while (i < n_) {
    const char* hit = static_cast<const char*>(std::memchr(p_ + i, quote, n_ - i));
    std::size_t stop = hit == nullptr ? n_ : static_cast<std::size_t>(hit - p_);
    const char* slash = static_cast<const char*>(std::memchr(p_ + i, '\\', stop - i));
    if (slash == nullptr) {
      if (hit == nullptr) return false;
      *close = stop;
      return true;
    }
    i = static_cast<std::size_t>(slash - p_);
    i += (i + 1 < n_ && p_[i + 1] == 'u') ? 6 : 2;
  }
  return false;
}

// Appends what the escape at raw[at] (a backslash with a character after
// it) stands for; returns the index just past the escape. An escape it does
// not know stays as it is.
inline std::size_t JsonParser::AppendEscape(std::string_view raw, std::size_t at,
                                            std::string* out) const {
  char c = raw[at + 1];
  switch (c) {
    case '\\':
    case '/':
    case '"':
      out->push_back(c);
      break;
    case 'b':
      out->push_back('\b');
      break;
    case 't':
      out->push_back('\t');
      break;
    case 'r':
      out->push_back('\r');
      break;
    case 'f':
      out->push_back('\f');
      break;
    case 'n':
      // Line breaks are kept in the Windows form the files were written
      // with: a lone "\n" becomes CR LF, "\r\n" stays CR LF.
      if (!out->empty() && out->back() == '\r') {
        out->push_back('\n');
      } else {
        out->append("\r\n");
      }
      break;
    case 'u':
      return AppendUnicodeEscape(raw, at, out);
    default:
      out->push_back('\\');
      out->push_back(c);
      break;
  }
  return at + 2;
}

// The "\uXXXX" escape at raw[at]: decoded when decode_ is on and four hex
// digits follow (a surrogate pair as one character, a lone surrogate as
// itself), else kept as "\u" and the characters after it read on.
inline std::size_t JsonParser::AppendUnicodeEscape(std::string_view raw, std::size_t at,
                                                   std::string* out) const {
  int unit = decode_ ? Hex4(raw, at + 2) : -1;
  if (unit < 0) {
    out->append("\\u");
    return at + 2;
  }
  auto cp = static_cast<std::uint32_t>(unit);
  std::size_t i = at + 6;
  if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < raw.size() && raw[i] == '\\' && raw[i + 1] == 'u') {
    int low = Hex4(raw, i + 2);
    if (low >= 0xDC00 && low <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<std::uint32_t>(low) - 0xDC00);
      i += 6;
    }
  }
  AppendUtf8(out, static_cast<char32_t>(cp));
  return i;
}

// The characters between a string's quotes, escapes replaced, into *out.
void JsonParser::Unescape(std::string_view raw, std::string* out) const {
  out->clear();
  std::size_t i = 0;
  const std::size_t n = raw.size();
  for (;;) {
    const char* slash = static_cast<const char*>(std::memchr(raw.data() + i, '\\', n - i));
    if (slash == nullptr) {
      out->append(raw.data() + i, n - i);
      return;
    }
    std::size_t at = static_cast<std::size_t>(slash - raw.data());
    out->append(raw.data() + i, at - i);
    if (at + 1 >= n) {
      out->push_back('\\');
      return;
    }
    i = AppendEscape(raw, at, out);
  }
}

bool JsonParser::ScalarFromToken(std::string_view token, JsonNode* node) {
  if (token.empty()) return false;
  if (token == "null") {
    node->type = JsonDocument::kNull;
    return true;
  }
  if (token == "true" || token == "false") {
    node->type = JsonDocument::kBool;
    node->num.b = token[0] == 't';
    return true;
  }
  NumberShape shape;
  if (!ScanNumber(token, &shape)) return false;
  StoreNumber(token, shape, node);
  return true;
}

bool JsonParser::ReadKey(std::string* key) {
  std::size_t start = pos_;
  char c = p_[pos_];
  std::string_view raw;
  if (c == '"' || c == '\'') {
    std::size_t close;
    if (!ScanQuoted(start, &close)) return Fail(JsonDocument::kBadValue, start);
    raw = std::string_view(p_ + start + 1, close - start - 1);
    pos_ = close + 1;
    SkipBlank();
    if (pos_ >= n_ || p_[pos_] != ':') return Fail(JsonDocument::kBadValue, pos_);
  } else {
    while (pos_ < n_) {
      c = p_[pos_];
      if (c == ':') break;
      if (c == ',' || c == '}' || c == ']') return Fail(JsonDocument::kBadValue, pos_);
      if (c == '"' || c == '\'' || c == '{' || c == '[') {
        return Fail(JsonDocument::kMisplacedStructure, pos_);
      }
      ++pos_;
    }
    if (pos_ >= n_) return Fail(JsonDocument::kBadValue, pos_);
    std::size_t end = pos_;
    while (end > start && static_cast<unsigned char>(p_[end - 1]) <= 32) --end;
    raw = std::string_view(p_ + start, end - start);
  }
  Unescape(raw, key);
  if (key->empty()) return Fail(JsonDocument::kMisplacedStructure, start);
  ++pos_;  // the colon
  return true;
}

// Reads one scalar value token at pos_ (not blank, not a structure
// character) into node: a member's or an element's value, or with alone the
// whole text, which nothing may follow.
bool JsonParser::ReadScalar(JsonNode* node, bool alone) {
  std::size_t start = pos_;
  char c = p_[pos_];
  if (c == '"' || c == '\'') {
    std::size_t close;
    if (!ScanQuoted(start, &close)) return Fail(JsonDocument::kBadValue, start);
    pos_ = close + 1;
    SkipBlank();
    if (pos_ < n_ && (alone || (p_[pos_] != ',' && p_[pos_] != '}' && p_[pos_] != ']'))) {
      return Fail(JsonDocument::kBadValue, pos_);
    }
    node->type = JsonDocument::kString;
    Unescape(std::string_view(p_ + start + 1, close - start - 1), &node->text);
    return true;
  }
  while (pos_ < n_ && !alone) {
    c = p_[pos_];
    if (c == ',' || c == '}' || c == ']') break;
    if (c == '{' || c == '[') return Fail(JsonDocument::kBadValue, pos_);
    ++pos_;
  }
  if (alone) pos_ = n_;
  std::size_t end = pos_;
  while (end > start && static_cast<unsigned char>(p_[end - 1]) <= 32) --end;
  if (!ScalarFromToken(std::string_view(p_ + start, end - start), node)) {
    return Fail(JsonDocument::kBadValue, start);
  }
  return true;
}

bool JsonParser::Run(JsonNode* root, bool reject_top_level_scalar) {
  if (n_ == 0) return Fail(JsonDocument::kEmptyInput, 0);
  // A byte-order mark some editors put in front of the text.
  if (StripUtf8Bom(std::string_view(p_, n_)).size() != n_) pos_ = kUtf8Bom.size();
  SkipBlank();
  if (pos_ >= n_) return Fail(JsonDocument::kEmptyInput, pos_);
  char c = p_[pos_];
  if (c != '{' && c != '[') {
    if (reject_top_level_scalar) return true;
    return ReadScalar(root, true);
  }
  root->type = c == '{' ? JsonDocument::kObject : JsonDocument::kArray;
  ++pos_;
  if (!ReadContainers(root)) return false;
  SkipBlank();
  if (pos_ < n_) return Fail(JsonDocument::kBadValue, pos_);
  return true;
}

// A new last element of array for the value starting with `first`; nullptr
// (failed) for a colon.
inline JsonNode* JsonParser::NewElement(JsonNode* array, char first) {
  if (first == ':') {
    Fail(JsonDocument::kBadValue, pos_);
    return nullptr;
  }
  auto* value = new JsonNode;
  value->parent = array;
  array->children.push_back(value);
  return value;
}

// Reads a member's key and gives the node its value goes into: a new last
// member, or the member already there emptied (a repeated key replaces the
// value in place). *first becomes the value's first character. nullptr
// (failed) when no key and value start here.
inline JsonNode* JsonParser::NewMember(JsonNode* object, char* first) {
  char c = *first;
  if (c == '{' || c == '[' || c == ':') {
    Fail(JsonDocument::kMisplacedStructure, pos_);
    return nullptr;
  }
  if (!ReadKey(&key_)) return nullptr;
  SkipBlank();
  if (pos_ >= n_) {
    Fail(JsonDocument::kUnclosed, pos_);
    return nullptr;
  }
  c = *first = p_[pos_];
  if (c == ',' || c == '}' || c == ']') {
    Fail(JsonDocument::kBadValue, pos_);
    return nullptr;
  }
  std::uint32_t hash = json_text::KeyHash(key_);
  JsonNode* value = FindMemberNode(object, key_, hash);
  if (value != nullptr) {
    FreeContent(value);
    return value;
  }
  value = new JsonNode;
  value->key = key_;
  value->hash = hash;
  AddMember(object, value);
  return value;
}

// The body of the root container `root` (its bracket read): values and
// nested containers up to the root's closing bracket. Empty elements and
// trailing commas are skipped.
bool JsonParser::ReadContainers(JsonNode* root) {
  std::vector<JsonNode*> open;
  open.push_back(root);
  while (!open.empty()) {
    JsonNode* top = open.back();
    SkipBlank();
    if (pos_ >= n_) return Fail(JsonDocument::kUnclosed, pos_);
    char c = p_[pos_];
    if (c == ',') {
      ++pos_;
      continue;
    }
    if (c == '}' || c == ']') {
      ++pos_;
      open.pop_back();
      continue;
    }
    JsonNode* value = top->type == JsonDocument::kArray ? NewElement(top, c) : NewMember(top, &c);
    if (value == nullptr) return false;
    if (c == '{' || c == '[') {
      value->type = c == '{' ? JsonDocument::kObject : JsonDocument::kArray;
      ++pos_;
      open.push_back(value);
      continue;
    }
    if (!ReadScalar(value, false)) return false;
  }
  return true;
}

}  // namespace tarn::json_internal
