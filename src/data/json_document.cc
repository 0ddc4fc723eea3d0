#include "data/json_document.h"

#include <glib.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <limits>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "data/huge_pages.h"
#include "data/json_node.h"
#include "data/text_file.h"
#include "data/utf8.h"

namespace tarn {
namespace {

using json_text::KeyHash;

constexpr std::size_t kFirstBucketCount = 11;

JsonNode* NewNode(int type) {
  JsonNode* node = new JsonNode;
  node->type = type;
  return node;
}

bool IsContainer(const JsonNode* node) {
  return node->type == JsonDocument::kArray || node->type == JsonDocument::kObject;
}

// Frees a node and everything below it without recursion, so that a tree
// of any depth can be destroyed.
void FreeTree(JsonNode* node) {
  if (node == nullptr) return;
  if (node->children.empty()) {
    delete node;
    return;
  }
  std::vector<JsonNode*> pending;
  pending.push_back(node);
  while (!pending.empty()) {
    JsonNode* n = pending.back();
    pending.pop_back();
    pending.insert(pending.end(), n->children.begin(), n->children.end());
    n->children.clear();
    delete n;
  }
}

// Discards a node's content, keeping its place (parent, key) in the tree.
void FreeContent(JsonNode* node) {
  for (JsonNode* child : node->children) FreeTree(child);
  node->children.clear();
  node->buckets.clear();
  node->text.clear();
  node->num.i = 0;
}

void MakeEmpty(JsonNode* node, int type) {
  FreeContent(node);
  node->type = type;
}

// --- object members: a chained hash table over the member nodes --------------

std::size_t BucketOf(std::uint32_t hash, std::size_t count) { return (hash & 0x7FFFFFFFu) % count; }

void Rehash(JsonNode* object, std::size_t count) {
  object->buckets.assign(count, nullptr);
  for (JsonNode* child : object->children) {
    std::size_t b = BucketOf(child->hash, count);
    child->next_in_bucket = object->buckets[b];
    object->buckets[b] = child;
  }
}

JsonNode* FindMemberNode(const JsonNode* object, std::string_view key, std::uint32_t hash) {
  if (object->buckets.empty()) return nullptr;
  for (JsonNode* n = object->buckets[BucketOf(hash, object->buckets.size())]; n != nullptr;
       n = n->next_in_bucket) {
    if (n->hash == hash && n->key == key) return n;
  }
  return nullptr;
}

// Links a member whose key and hash are set at position `at` of the member
// order (the end by default).
void LinkMember(JsonNode* object, JsonNode* member, std::size_t at) {
  member->parent = object;
  if (at >= object->children.size()) {
    object->children.push_back(member);
  } else {
    object->children.insert(object->children.begin() + static_cast<std::ptrdiff_t>(at), member);
  }
  if (object->buckets.empty()) object->buckets.assign(kFirstBucketCount, nullptr);
  std::size_t count = object->buckets.size();
  if (object->children.size() >= count * 3 / 4) {
    Rehash(object, count * 2 + 1);
    return;
  }
  std::size_t b = BucketOf(member->hash, count);
  member->next_in_bucket = object->buckets[b];
  object->buckets[b] = member;
}

void AddMember(JsonNode* object, JsonNode* member) {
  LinkMember(object, member, std::numeric_limits<std::size_t>::max());
}

// Takes a child out of its container without freeing it.
void Unlink(JsonNode* child) {
  JsonNode* parent = child->parent;
  if (parent == nullptr) return;
  auto& kids = parent->children;
  kids.erase(std::find(kids.begin(), kids.end(), child));
  if (parent->type == JsonDocument::kObject && !parent->buckets.empty()) {
    JsonNode** link = &parent->buckets[BucketOf(child->hash, parent->buckets.size())];
    while (*link != nullptr && *link != child) link = &(*link)->next_in_bucket;
    if (*link == child) *link = child->next_in_bucket;
  }
  child->parent = nullptr;
  child->next_in_bucket = nullptr;
}

// Member `key` of object, added as null at the end when missing.
JsonNode* MemberForWrite(JsonNode* object, std::string_view key) {
  std::uint32_t hash = KeyHash(key);
  JsonNode* member = FindMemberNode(object, key, hash);
  if (member != nullptr) return member;
  member = NewNode(JsonDocument::kNull);
  member->key.assign(key);
  member->hash = hash;
  AddMember(object, member);
  return member;
}

// --- copying -------------------------------------------------------------------

void CopyScalarPart(const JsonNode* from, JsonNode* to) {
  to->type = from->type;
  to->num = from->num;
  to->text = from->text;
}

// A deep copy of a subtree, made without recursion. The copy has no parent;
// it keeps the source's key and hash so it can become a member directly.
JsonNode* CopyTree(const JsonNode* source) {
  JsonNode* top = NewNode(source->type);
  CopyScalarPart(source, top);
  top->key = source->key;
  top->hash = source->hash;
  if (source->children.empty()) return top;
  std::vector<std::pair<const JsonNode*, JsonNode*>> pending;
  pending.emplace_back(source, top);
  while (!pending.empty()) {
    auto [from, to] = pending.back();
    pending.pop_back();
    to->children.reserve(from->children.size());
    for (const JsonNode* child : from->children) {
      JsonNode* copy = new JsonNode;
      CopyScalarPart(child, copy);
      copy->parent = to;
      if (from->type == JsonDocument::kObject) {
        copy->key = child->key;
        copy->hash = child->hash;
      }
      to->children.push_back(copy);
      if (!child->children.empty()) pending.emplace_back(child, copy);
    }
    if (from->type == JsonDocument::kObject) {
      Rehash(to, std::max(from->buckets.size(), kFirstBucketCount));
    }
  }
  return top;
}

// Moves the value held by `from` (a detached node) into `to`, which keeps
// its place in its tree; `from` is deleted.
void MoveInto(JsonNode* to, JsonNode* from) {
  FreeContent(to);
  to->type = from->type;
  to->num = from->num;
  to->text.swap(from->text);
  to->children.swap(from->children);
  to->buckets.swap(from->buckets);
  for (JsonNode* child : to->children) child->parent = to;
  delete from;
}

// --- text helpers ----------------------------------------------------------------

// `text` when it is valid UTF-8, else a copy in *scratch with every invalid
// byte replaced by U+FFFD. Paths and keys may also hold the lone surrogates
// of WTF-8, which is how they name a key parsed from a lone "\ud800" escape.
std::string_view CleanUtf8(std::string_view text, std::string* scratch,
                           bool allow_surrogates = false) {
  if (json_text::IsValidUtf8(text, allow_surrogates)) return text;
  *scratch = json_text::SanitizeUtf8(text);
  return *scratch;
}

std::string Utf8Out(std::string_view wtf8) {
  std::string out;
  json_text::AppendUtf8(wtf8, &out);
  return out;
}

std::string NumberText(std::int64_t value) {
  char buffer[32];
  auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  return std::string(buffer, end);
}

std::string NumberText(double value) {
  char buffer[64];
  auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  return std::string(buffer, end);
}

bool IsSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The C library's atoll, without locale or overflow surprises: leading
// white space, an optional sign, then digits up to the first other
// character; 0 when there are none. Saturates instead of overflowing.
std::int64_t ParseLeadingInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (IsSpace(text[i]) || text[i] == '\v' || text[i] == '\f')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::uint64_t value = 0;
  const std::uint64_t limit = negative ? 9223372036854775808ULL : 9223372036854775807ULL;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + static_cast<unsigned>(text[i] - '0');
    if (value > limit) {
      value = limit;
      for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      }
      break;
    }
  }
  if (negative)
    return value == limit ? std::numeric_limits<std::int64_t>::min()
                          : -static_cast<std::int64_t>(value);
  return static_cast<std::int64_t>(value);
}

// strtod without the locale: leading white space and an optional "+" are
// allowed; 0 when no number starts the text.
double ParseLeadingDouble(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (IsSpace(text[i]) || text[i] == '\v' || text[i] == '\f')) ++i;
  if (i < text.size() && text[i] == '+') {
    ++i;
    if (i < text.size() && text[i] == '-') return 0;
  }
  double value = 0;
  auto result = std::from_chars(text.data() + i, text.data() + text.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // from_chars leaves the value alone on overflow; strtod gives +-HUGE_VAL
    // or 0, which std::strtod reproduces on a copy.
    std::string copy(text.substr(i, static_cast<std::size_t>(result.ptr - text.data()) - i));
    return std::strtod(copy.c_str(), nullptr);
  }
  return result.ec == std::errc() ? value : 0;
}

std::int64_t DoubleToInt64(double d) {
  if (std::isnan(d)) return 0;
  if (d >= 9223372036854775807.0) return std::numeric_limits<std::int64_t>::max();
  if (d <= -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(d);
}

// --- paths -------------------------------------------------------------------------

// Splits a path into name and index segments. Names without escapes are
// views into the path, so walking a plain path allocates nothing.
class PathScanner {
 public:
  explicit PathScanner(std::string_view path) : path_(path) {}

  bool Next() {
    const std::size_t n = path_.size();
    while (pos_ < n && path_[pos_] == '.') ++pos_;
    if (pos_ >= n) return false;
    if (path_[pos_] == '[') {
      std::size_t start = ++pos_;
      std::size_t close = path_.find(']', start);
      if (close == std::string_view::npos) close = n;
      std::int64_t value = ParseLeadingInteger(path_.substr(start, close - start));
      index = value < std::numeric_limits<int>::min()   ? std::numeric_limits<int>::min()
              : value > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                        : static_cast<int>(value);
      is_index = true;
      pos_ = close < n ? close + 1 : n;
      return true;
    }
    is_index = false;
    std::size_t start = pos_;
    bool escaped = false;
    while (pos_ < n) {
      char c = path_[pos_];
      if (c == '\\' && pos_ + 1 < n) {
        escaped = true;
        pos_ += 2;
        continue;
      }
      if (c == '.' || c == '[') break;
      ++pos_;
    }
    name = path_.substr(start, pos_ - start);
    if (escaped) {
      scratch_.clear();
      for (std::size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        if (c == '\\' && i + 1 < name.size()) {
          char e = name[i + 1];
          if (e == '.' || e == '[' || e == ']' || e == '\\') {
            scratch_.push_back(e);
            ++i;
            continue;
          }
        }
        scratch_.push_back(c);
      }
      name = scratch_;
    }
    return true;
  }

  bool is_index = false;
  int index = 0;
  std::string_view name;

 private:
  std::string_view path_;
  std::size_t pos_ = 0;
  std::string scratch_;
};

// Follows a path for reading; nullptr when any segment does not resolve.
JsonNode* Lookup(JsonNode* root, std::string_view path) {
  if (root == nullptr) return nullptr;
  std::string clean;
  path = CleanUtf8(path, &clean, true);
  PathScanner scanner(path);
  JsonNode* node = root;
  while (scanner.Next()) {
    if (scanner.is_index) {
      if (!IsContainer(node) || scanner.index < 0 ||
          static_cast<std::size_t>(scanner.index) >= node->children.size()) {
        return nullptr;
      }
      node = node->children[static_cast<std::size_t>(scanner.index)];
    } else {
      if (node->type != JsonDocument::kObject) return nullptr;
      node = FindMemberNode(node, scanner.name, KeyHash(scanner.name));
      if (node == nullptr) return nullptr;
    }
  }
  return node;
}

// Follows a path for writing, creating what is missing: a name makes the
// current node an object, an index makes it an array padded with nulls.
// nullptr (and nothing changed) when there is no tree or an index is negative.
JsonNode* Walk(JsonNode* root, std::string_view path) {
  if (root == nullptr) return nullptr;
  std::string clean;
  path = CleanUtf8(path, &clean, true);
  if (path.find('-') != std::string_view::npos) {
    PathScanner check(path);
    while (check.Next()) {
      if (check.is_index && check.index < 0) return nullptr;
    }
  }
  PathScanner scanner(path);
  JsonNode* node = root;
  while (scanner.Next()) {
    if (scanner.is_index) {
      if (node->type != JsonDocument::kArray) MakeEmpty(node, JsonDocument::kArray);
      auto index = static_cast<std::size_t>(scanner.index);
      while (node->children.size() <= index) {
        JsonNode* pad = NewNode(JsonDocument::kNull);
        pad->parent = node;
        node->children.push_back(pad);
      }
      node = node->children[index];
    } else {
      if (node->type != JsonDocument::kObject) MakeEmpty(node, JsonDocument::kObject);
      node = MemberForWrite(node, scanner.name);
    }
  }
  return node;
}

// --- parsing -----------------------------------------------------------------------

// The lenient parser over UTF-8 (or WTF-8) text. Containers are tracked on
// an explicit stack, so nesting depth is bounded by memory only.
class Parser {
 public:
  Parser(std::string_view text, bool decode_unicode_escapes)
      : p_(text.data()), n_(text.size()), decode_(decode_unicode_escapes) {}

  // Parses into root (an empty object). False with error()/error_offset() set.
  bool Run(JsonNode* root, bool reject_top_level_scalar);

  int error() const { return error_; }
  std::size_t error_offset() const { return error_offset_; }

 private:
  bool Fail(int code, std::size_t at) {
    error_ = code;
    error_offset_ = at;
    return false;
  }
  void SkipBlank() {
    while (pos_ < n_) {
      char c = p_[pos_];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0') {
        ++pos_;
      } else {
        break;
      }
    }
  }
  bool ScanQuoted(std::size_t start, std::size_t* close) const;
  bool ReadKey(std::string* key);
  bool ReadValue(JsonNode* node);
  bool ReadTopScalar(JsonNode* root);
  void Unescape(std::string_view raw, std::string* out) const;
  static bool ScalarFromToken(std::string_view token, JsonNode* node);

  const char* p_;
  std::size_t n_;
  std::size_t pos_ = 0;
  bool decode_;
  int error_ = JsonDocument::kOk;
  std::size_t error_offset_ = 0;
  std::string key_;
};

// Finds the closing quote of the string starting at `start`. A backslash
// makes the next character literal; "\u" steps over the whole escape.
bool Parser::ScanQuoted(std::size_t start, std::size_t* close) const {
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

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

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

void Parser::Unescape(std::string_view raw, std::string* out) const {
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
    char c = raw[at + 1];
    i = at + 2;
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
      case 'u': {
        int unit = decode_ ? Hex4(raw, at + 2) : -1;
        if (unit < 0) {
          out->append("\\u");
          break;
        }
        std::uint32_t cp = static_cast<std::uint32_t>(unit);
        i = at + 6;
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && raw[i] == '\\' && raw[i + 1] == 'u') {
          int low = Hex4(raw, i + 2);
          if (low >= 0xDC00 && low <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<std::uint32_t>(low) - 0xDC00);
            i += 6;
          }
        }
        AppendUtf8(out, static_cast<char32_t>(cp));
        break;
      }
      default:
        out->push_back('\\');
        out->push_back(c);
        break;
    }
  }
}

bool Parser::ScalarFromToken(std::string_view token, JsonNode* node) {
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
  char first = token[0];
  if (!(first == '+' || first == '-' || first == '.' || (first >= '0' && first <= '9'))) {
    return false;
  }
  int dots = first == '.' ? 1 : 0;
  int exponents = 0;
  int signs = 0;
  int digits = (first >= '0' && first <= '9') ? 1 : 0;
  bool blanks = false;
  for (std::size_t i = 1; i < token.size(); ++i) {
    auto c = static_cast<unsigned char>(token[i]);
    if (c <= 32) {
      blanks = true;
    } else if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c == '.') {
      if (++dots > 1) return false;
    } else if (c == 'e' || c == 'E') {
      if (++exponents > 1) return false;
    } else if (c == '+' || c == '-') {
      if (++signs > 1) return false;
    } else {
      return false;
    }
  }
  // A sign or dot with no digit at all ("-", ".") is not a number; keeping
  // it would write an unreadable literal back out.
  if (digits == 0) return false;
  if (blanks) {
    node->text.clear();
    for (char c : token) {
      if (static_cast<unsigned char>(c) > 32) node->text.push_back(c);
    }
  } else {
    node->text.assign(token);
  }
  std::string_view literal = node->text;
  std::string_view unsigned_part = literal[0] == '+' ? literal.substr(1) : literal;
  if (dots == 0 && exponents == 0 && signs == 0) {
    std::int64_t value = 0;
    auto result =
        std::from_chars(unsigned_part.data(), unsigned_part.data() + unsigned_part.size(), value);
    if (result.ec == std::errc() && result.ptr == unsigned_part.data() + unsigned_part.size()) {
      node->type = JsonDocument::kInteger;
      node->num.i = value;
      return true;
    }
    // Too large for 64 bits: still a number, kept as a double.
  }
  node->type = JsonDocument::kDouble;
  node->num.d = ParseLeadingDouble(literal);
  return true;
}

bool Parser::ReadKey(std::string* key) {
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
// character) into node.
bool Parser::ReadValue(JsonNode* node) {
  std::size_t start = pos_;
  char c = p_[pos_];
  if (c == '"' || c == '\'') {
    std::size_t close;
    if (!ScanQuoted(start, &close)) return Fail(JsonDocument::kBadValue, start);
    pos_ = close + 1;
    SkipBlank();
    if (pos_ < n_ && p_[pos_] != ',' && p_[pos_] != '}' && p_[pos_] != ']') {
      return Fail(JsonDocument::kBadValue, pos_);
    }
    node->type = JsonDocument::kString;
    Unescape(std::string_view(p_ + start + 1, close - start - 1), &node->text);
    return true;
  }
  while (pos_ < n_) {
    c = p_[pos_];
    if (c == ',' || c == '}' || c == ']') break;
    if (c == '{' || c == '[') return Fail(JsonDocument::kBadValue, pos_);
    ++pos_;
  }
  std::size_t end = pos_;
  while (end > start && static_cast<unsigned char>(p_[end - 1]) <= 32) --end;
  if (!ScalarFromToken(std::string_view(p_ + start, end - start), node)) {
    return Fail(JsonDocument::kBadValue, start);
  }
  return true;
}

bool Parser::ReadTopScalar(JsonNode* root) {
  std::size_t start = pos_;
  char c = p_[pos_];
  if (c == '"' || c == '\'') {
    std::size_t close;
    if (!ScanQuoted(start, &close)) return Fail(JsonDocument::kBadValue, start);
    pos_ = close + 1;
    SkipBlank();
    if (pos_ < n_) return Fail(JsonDocument::kBadValue, pos_);
    root->type = JsonDocument::kString;
    Unescape(std::string_view(p_ + start + 1, close - start - 1), &root->text);
    return true;
  }
  std::size_t end = n_;
  while (end > start && static_cast<unsigned char>(p_[end - 1]) <= 32) --end;
  if (!ScalarFromToken(std::string_view(p_ + start, end - start), root)) {
    return Fail(JsonDocument::kBadValue, start);
  }
  pos_ = n_;
  return true;
}

bool Parser::Run(JsonNode* root, bool reject_top_level_scalar) {
  if (n_ == 0) return Fail(JsonDocument::kEmptyInput, 0);
  // A byte-order mark some editors put in front of the text.
  if (StripUtf8Bom(std::string_view(p_, n_)).size() != n_) pos_ = kUtf8Bom.size();
  SkipBlank();
  if (pos_ >= n_) return Fail(JsonDocument::kEmptyInput, pos_);
  char c = p_[pos_];
  if (c != '{' && c != '[') {
    if (reject_top_level_scalar) return true;
    return ReadTopScalar(root);
  }
  root->type = c == '{' ? JsonDocument::kObject : JsonDocument::kArray;
  ++pos_;
  std::vector<JsonNode*> open;
  open.push_back(root);
  while (!open.empty()) {
    JsonNode* top = open.back();
    SkipBlank();
    if (pos_ >= n_) return Fail(JsonDocument::kUnclosed, pos_);
    c = p_[pos_];
    if (c == ',') {  // empty elements and trailing commas are skipped
      ++pos_;
      continue;
    }
    if (c == '}' || c == ']') {
      ++pos_;
      open.pop_back();
      continue;
    }
    JsonNode* value;
    if (top->type == JsonDocument::kArray) {
      if (c == ':') return Fail(JsonDocument::kBadValue, pos_);
      value = new JsonNode;
      value->parent = top;
      top->children.push_back(value);
    } else {
      if (c == '{' || c == '[' || c == ':') return Fail(JsonDocument::kMisplacedStructure, pos_);
      if (!ReadKey(&key_)) return false;
      SkipBlank();
      if (pos_ >= n_) return Fail(JsonDocument::kUnclosed, pos_);
      c = p_[pos_];
      if (c == ',' || c == '}' || c == ']') return Fail(JsonDocument::kBadValue, pos_);
      std::uint32_t hash = KeyHash(key_);
      value = FindMemberNode(top, key_, hash);
      if (value != nullptr) {
        FreeContent(value);  // a repeated key replaces the value in place
      } else {
        value = new JsonNode;
        value->key = key_;
        value->hash = hash;
        AddMember(top, value);
      }
    }
    if (c == '{' || c == '[') {
      value->type = c == '{' ? JsonDocument::kObject : JsonDocument::kArray;
      ++pos_;
      open.push_back(value);
      continue;
    }
    if (!ReadValue(value)) return false;
  }
  SkipBlank();
  if (pos_ < n_) return Fail(JsonDocument::kBadValue, pos_);
  return true;
}

// --- serialising ---------------------------------------------------------------------

struct EscapeTable {
  char replacement[256] = {};
  EscapeTable() {
    replacement[static_cast<unsigned char>('\\')] = '\\';
    replacement[static_cast<unsigned char>('/')] = '/';
    replacement[static_cast<unsigned char>('"')] = '"';
    replacement['\b'] = 'b';
    replacement['\t'] = 't';
    replacement['\n'] = 'n';
    replacement['\r'] = 'r';
    replacement['\f'] = 'f';
  }
};
const EscapeTable kEscapes;

// True when one of the eight bytes at p is below 0x20 or one of " / \.
inline bool MayNeedEscape(const char* p) {
  std::uint64_t x;
  std::memcpy(&x, p, 8);
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
  auto has_zero = [](std::uint64_t v) { return (v - kOnes) & ~v & kHigh; };
  std::uint64_t below_space = (x - kOnes * 0x20) & ~x & kHigh;
  return (below_space | has_zero(x ^ (kOnes * '"')) | has_zero(x ^ (kOnes * '/')) |
          has_zero(x ^ (kOnes * '\\'))) != 0;
}

void WriteString(std::string_view text, bool escape, std::string* out) {
  out->push_back('"');
  if (!escape) {
    out->append(text);
    out->push_back('"');
    return;
  }
  const char* p = text.data();
  const char* end = p + text.size();
  const char* run = p;
  for (; p < end; ++p) {
    // Skip eight bytes at a time while none is a control character, a quote,
    // a slash or a backslash (the usual case in prose).
    while (end - p >= 8 && !MayNeedEscape(p)) p += 8;
    if (p >= end) break;
    char r = kEscapes.replacement[static_cast<unsigned char>(*p)];
    if (r != 0) {
      out->append(run, static_cast<std::size_t>(p - run));
      char pair[2] = {'\\', r};
      out->append(pair, 2);
      run = p + 1;
    }
  }
  out->append(run, static_cast<std::size_t>(end - run));
  out->push_back('"');
}

void WriteScalar(const JsonNode* node, bool escape, std::string* out) {
  switch (node->type) {
    case JsonDocument::kNull:
      out->append("null");
      break;
    case JsonDocument::kBool:
      out->append(node->num.b ? "true" : "false");
      break;
    case JsonDocument::kString:
      WriteString(node->text, escape, out);
      break;
    default:
      out->append(node->text);
      break;
  }
}

void Indent(std::size_t depth, std::string* out) { out->append(depth, '\t'); }

// Where the serialiser stands: the open containers, innermost last, each
// with the index of the child it writes next.
struct Frame {
  const JsonNode* node;
  std::size_t next;
};

// Writes a subtree without recursion: either from its start (open empty) or
// from a state taken part way through, until `stop` (a container and the
// index of the child it would write next) comes up on top, or to the end
// when stop.node is null. Compact output depends on nothing but that state,
// which is what lets disjoint stretches of a document be written apart.
void SerializeFrom(const JsonNode* node, std::vector<Frame> open, Frame stop, bool pretty,
                   bool escape, std::string* out) {
  auto enter = [&](const JsonNode* container) {
    if (container->type == JsonDocument::kObject) {
      out->append(pretty ? "{\r\n" : "{");
    } else {
      out->push_back('[');
    }
    open.push_back({container, 0});
  };
  if (open.empty()) {
    if (!IsContainer(node)) {
      WriteScalar(node, escape, out);
      return;
    }
    enter(node);
  }
  while (!open.empty()) {
    Frame& frame = open.back();
    const JsonNode* container = frame.node;
    if (container == stop.node && frame.next == stop.next) return;
    const bool object = container->type == JsonDocument::kObject;
    if (frame.next < container->children.size()) {
      const JsonNode* child = container->children[frame.next];
      if (frame.next++ > 0) out->append(pretty && object ? ",\r\n" : ",");
      if (object) {
        if (pretty) Indent(open.size(), out);
        WriteString(child->key, escape, out);
        out->push_back(':');
      }
      if (IsContainer(child)) {
        enter(child);  // invalidates frame
      } else {
        WriteScalar(child, escape, out);
      }
      continue;
    }
    if (object) {
      if (pretty) {
        if (!container->children.empty()) out->append("\r\n");
        Indent(open.size() - 1, out);
      }
      out->push_back('}');
    } else {
      out->push_back(']');
    }
    open.pop_back();
  }
}

void Serialize(const JsonNode* node, bool pretty, bool escape, std::string* out) {
  SerializeFrom(node, {}, {nullptr, 0}, pretty, escape, out);
}

// Strings and keys may hold lone surrogates (from "\ud800" escapes); the
// output shows them as U+FFFD.
void FixSurrogates(std::string* out) {
  std::size_t pos = out->find('\xED');
  while (pos != std::string::npos) {
    if (pos + 1 < out->size() && static_cast<unsigned char>((*out)[pos + 1]) >= 0xA0) {
      std::string fixed;
      fixed.reserve(out->capacity());
      json_text::AppendUtf8(*out, &fixed);
      out->swap(fixed);
      return;
    }
    pos = out->find('\xED', pos + 1);
  }
}

// --- serialising large documents on several threads -----------------------------------
//
// Compact output has no indentation, so the text of a stretch of the
// document depends only on the serialiser's state where the stretch starts
// (see SerializeFrom). A large document is cut into stretches of about equal
// estimated size, each written on its own thread into its own string, and
// the strings are joined in order. The cuts fall between tokens, never
// inside a string or key, and every piece starts and ends on an ASCII byte,
// so FixSurrogates (a byte-local rewrite of three-byte sequences) can run on
// each piece apart with the same result as on the whole.
//
// The threads only read the tree: ToText is const and the document may be
// used from one thread at a time, so nothing changes it while they run.

struct ParallelTuning {
  std::size_t min_bytes = std::size_t{8} << 20;  // estimated output size
  unsigned threads = 0;                          // 0: one a core, at most kMaxThreads
  std::size_t pieces = 0;  // 0: about kPieceBytes each, within the bounds below
};
constexpr unsigned kMaxThreads = 4;
// Pieces of a few megabytes: several per thread even out a core that other
// work keeps busy, and their buffers are small enough to be reused while
// still warm. The upper bound limits the rebuilding of deep stacks.
constexpr std::size_t kPieceBytes = std::size_t{4} << 20;
constexpr std::size_t kMinPiecesPerThread = 4;
constexpr std::size_t kMaxPieces = 64;
ParallelTuning g_parallel;
std::atomic<std::size_t> g_parallel_runs{0};

std::size_t ScalarEstimate(const JsonNode* node) {
  switch (node->type) {
    case JsonDocument::kNull:
      return 4;
    case JsonDocument::kBool:
      return 5;
    case JsonDocument::kString:
      return node->text.size() + 2;
    default:
      return node->text.size();
  }
}

// Walks the tree in the serialiser's order, adding up an estimate of the
// output size. With cuts, also records where the serialiser stands (the top
// of its stack) each time the estimate passes the next multiple of `step`,
// up to `wanted` cuts, and stops once it has them.
std::size_t WalkEstimate(const JsonNode* root, std::size_t step, std::size_t wanted,
                         std::vector<Frame>* cuts) {
  std::size_t done = 1;
  std::size_t target = step;
  std::vector<Frame> open;
  open.push_back({root, 0});
  while (!open.empty()) {
    Frame& frame = open.back();
    if (cuts != nullptr && done >= target) {
      cuts->push_back(frame);
      if (cuts->size() == wanted) break;
      target += step;
    }
    const JsonNode* container = frame.node;
    if (frame.next < container->children.size()) {
      const JsonNode* child = container->children[frame.next];
      if (frame.next++ > 0) ++done;
      if (container->type == JsonDocument::kObject) done += child->key.size() + 3;
      if (IsContainer(child)) {
        ++done;
        open.push_back({child, 0});  // invalidates frame
      } else {
        done += ScalarEstimate(child);
      }
      continue;
    }
    ++done;
    open.pop_back();
  }
  return done;
}

// The serialiser's whole stack at a cut, rebuilt from its top through the
// parent links: each container up to `root` stands just past the child that
// leads down to the cut. Cuts keep only their top so that a deep document
// does not hold a full stack per cut.
std::vector<Frame> StackAt(const JsonNode* root, Frame top) {
  std::vector<Frame> stack;
  stack.push_back(top);
  for (const JsonNode* node = top.node; node != root; node = node->parent) {
    const JsonNode* parent = node->parent;
    auto at = std::find(parent->children.begin(), parent->children.end(), node);
    stack.push_back({parent, static_cast<std::size_t>(at - parent->children.begin()) + 1});
  }
  std::reverse(stack.begin(), stack.end());
  return stack;
}

// Compact serialisation of a container, on several threads when it is large
// enough to repay them. Returns false, writing nothing, when it is not.
//
// The calling thread writes the first piece straight into *out and then
// appends the others in order as they come in, writing pieces itself when
// no finished one is waiting. Most of the cost of a text this size is the
// first touch of its memory; this way the copy into *out overlaps the
// writing of later pieces, and finished pieces' buffers, already touched,
// are handed back for the next ones.
bool SerializeParallel(const JsonNode* root, bool escape, std::string* out) {
  const ParallelTuning tuning = g_parallel;
  const unsigned threads = tuning.threads != 0
                               ? tuning.threads
                               : std::min(std::thread::hardware_concurrency(), kMaxThreads);
  if (threads < 2 || !IsContainer(root)) return false;
  const std::size_t total = WalkEstimate(root, 0, 0, nullptr);
  if (total < tuning.min_bytes) return false;
  const std::size_t wanted =
      tuning.pieces != 0
          ? tuning.pieces
          : std::min(std::max(total / kPieceBytes, threads * kMinPiecesPerThread), kMaxPieces);
  const std::size_t step = std::max<std::size_t>(total / wanted, 1);
  std::vector<Frame> cuts;
  WalkEstimate(root, step, wanted - 1, &cuts);
  if (cuts.empty()) return false;
  g_parallel_runs.fetch_add(1, std::memory_order_relaxed);

  // Piece i runs from cut i-1 (the start for i == 0) to cut i (the end for
  // the last piece).
  const std::size_t count = cuts.size() + 1;
  auto write_piece = [&](std::size_t i, std::string* text) {
    Frame stop = i < cuts.size() ? cuts[i] : Frame{nullptr, 0};
    SerializeFrom(root, i == 0 ? std::vector<Frame>() : StackAt(root, cuts[i - 1]), stop, false,
                  escape, text);
    FixSurrogates(text);
  };

  struct Piece {
    std::string text;
    bool done = false;
    std::exception_ptr error;
  };
  std::vector<Piece> pieces(count);
  std::vector<std::string> spare;  // emptied buffers, memory already touched
  std::mutex mutex;
  std::condition_variable finished;
  std::atomic<std::size_t> next_piece{1};
  // Claims and writes one piece; false when none is left.
  auto write_next = [&]() -> bool {
    std::size_t i = next_piece.fetch_add(1);
    if (i >= count) return false;
    std::string text;
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (!spare.empty()) {
        text.swap(spare.back());
        spare.pop_back();
      }
    }
    std::exception_ptr error;
    try {
      text.reserve(step + step / 8 + 64);
      AdviseHugePages(text.data(), text.capacity());
      write_piece(i, &text);
    } catch (...) {
      error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> lock(mutex);
      pieces[i].text.swap(text);
      pieces[i].error = error;
      pieces[i].done = true;
    }
    finished.notify_all();
    return true;
  };

  std::vector<std::thread> helpers;
  for (unsigned t = 1; t < threads; ++t) {
    try {
      helpers.emplace_back([&] {
        while (write_next()) {
        }
      });
    } catch (const std::system_error&) {
      break;  // this thread takes the pieces left over
    }
  }
  std::exception_ptr error;
  try {
    out->reserve(std::max(out->capacity(), total + total / 16));
    AdviseHugePages(out->data(), out->capacity());
    write_piece(0, out);
    for (std::size_t k = 1; k < count; ++k) {
      std::unique_lock<std::mutex> lock(mutex);
      while (!pieces[k].done) {
        lock.unlock();
        bool wrote = write_next();
        lock.lock();
        if (!wrote) finished.wait(lock, [&] { return pieces[k].done; });
      }
      if (pieces[k].error) std::rethrow_exception(pieces[k].error);
      std::string text;
      text.swap(pieces[k].text);
      lock.unlock();
      out->append(text);
      text.clear();
      lock.lock();
      spare.push_back(std::move(text));
    }
  } catch (...) {
    error = std::current_exception();
    next_piece.store(count);
  }
  for (std::thread& helper : helpers) helper.join();
  if (error) std::rethrow_exception(error);
  return true;
}

}  // namespace

namespace json_testing {

// Lets tests and benchmarks reach the several-thread serialiser with small
// documents, or turn it off (min_bytes = SIZE_MAX), and fix the number of
// threads (0: as many as the machine has, up to four) and of pieces (0: by
// size). Not for use while another thread serialises.
void SetParallelSerialisation(std::size_t min_bytes, unsigned threads, std::size_t pieces) {
  g_parallel.min_bytes = min_bytes;
  g_parallel.threads = threads;
  g_parallel.pieces = pieces;
}

void ResetParallelSerialisation() { g_parallel = ParallelTuning(); }

// How many texts have been written on several threads so far.
std::size_t ParallelSerialisations() { return g_parallel_runs.load(); }

}  // namespace json_testing

// --- life cycle ----------------------------------------------------------------------

JsonDocument::JsonDocument() = default;

JsonDocument::~JsonDocument() { FreeTree(root_); }

JsonDocument::JsonDocument(const JsonDocument& other)
    : root_(other.root_ ? CopyTree(other.root_) : nullptr) {
  if (root_ != nullptr) root_->key.clear();
}

JsonDocument& JsonDocument::operator=(const JsonDocument& other) {
  if (this != &other) {
    JsonNode* copy = other.root_ ? CopyTree(other.root_) : nullptr;
    if (copy != nullptr) copy->key.clear();
    FreeTree(root_);
    root_ = copy;
  }
  return *this;
}

JsonDocument::JsonDocument(JsonDocument&& other) noexcept : root_(other.root_) {
  other.root_ = nullptr;
}

JsonDocument& JsonDocument::operator=(JsonDocument&& other) noexcept {
  if (this != &other) {
    FreeTree(root_);
    root_ = other.root_;
    other.root_ = nullptr;
  }
  return *this;
}

JsonDocument JsonDocument::Clone() const { return JsonDocument(*this); }

bool JsonDocument::Create() {
  Release();
  root_ = NewNode(kObject);
  return true;
}

bool JsonDocument::Create(std::string_view text, ParseOptions options, ParseResult* result) {
  Create();
  return Parse(text, options, result);
}

void JsonDocument::Release() {
  FreeTree(root_);
  root_ = nullptr;
}

bool JsonDocument::HasTree() const { return root_ != nullptr; }

namespace {

bool ParseInto(JsonNode* root, std::string_view text, JsonDocument::ParseOptions options,
               JsonDocument::ParseResult* result) {
  JsonDocument::ParseResult local;
  JsonDocument::ParseResult& r = result ? *result : local;
  MakeEmpty(root, JsonDocument::kObject);
  try {
    Parser parser(text, options.decode_unicode_escapes);
    if (parser.Run(root, options.reject_top_level_scalar)) {
      r.code = JsonDocument::kOk;
      r.position = 0;
      return true;
    }
    r.code = parser.error();
    r.position = json_text::Utf16Length(text.substr(0, parser.error_offset()));
  } catch (const std::bad_alloc&) {
    r.code = JsonDocument::kOutOfMemory;
    r.position = 0;
  }
  MakeEmpty(root, JsonDocument::kObject);
  return false;
}

}  // namespace

bool JsonDocument::Parse(std::string_view text, ParseOptions options, ParseResult* result) {
  if (root_ == nullptr) root_ = NewNode(kObject);
  std::string clean;
  return ParseInto(root_, CleanUtf8(text, &clean), options, result);
}

void JsonDocument::LineAndColumn(std::string_view text, std::size_t utf16_position, int* line,
                                 int* column) {
  std::u16string units = Utf8ToUtf16(text);
  int l = 1;
  int c = 1;
  std::size_t end = std::min(utf16_position, units.size());
  for (std::size_t i = 0; i < end; ++i) {
    char16_t u = units[i];
    if (u == u'\n' || (u == u'\r' && (i + 1 >= units.size() || units[i + 1] != u'\n'))) {
      ++l;
      c = 1;
    } else if (u >= 0xDC00 && u <= 0xDFFF && i > 0 && units[i - 1] >= 0xD800 &&
               units[i - 1] <= 0xDBFF) {
      // second half of a pair: same character
    } else if (u != u'\r') {
      ++c;
    }
  }
  if (line) *line = l;
  if (column) *column = c;
}

// --- single-value documents ------------------------------------------------------------

JsonDocument JsonDocument::NewObject() {
  JsonDocument doc;
  doc.Create();
  return doc;
}

JsonDocument JsonDocument::NewArray() {
  JsonDocument doc;
  doc.Create();
  doc.root_->type = kArray;
  return doc;
}

JsonDocument JsonDocument::NewNull() {
  JsonDocument doc;
  doc.Create();
  doc.SetNull("");
  return doc;
}

JsonDocument JsonDocument::NewBool(bool value) {
  JsonDocument doc;
  doc.Create();
  doc.SetBool("", value);
  return doc;
}

JsonDocument JsonDocument::NewText(std::string_view value) {
  JsonDocument doc;
  doc.Create();
  doc.SetText("", value);
  return doc;
}

JsonDocument JsonDocument::NewDouble(double value) {
  JsonDocument doc;
  doc.Create();
  doc.SetDouble("", value);
  return doc;
}

JsonDocument JsonDocument::NewInt64(std::int64_t value) {
  JsonDocument doc;
  doc.Create();
  doc.SetInt64("", value);
  return doc;
}

// --- serialising -----------------------------------------------------------------------

std::string JsonDocument::ToText(std::string_view path, bool pretty, bool escape,
                                 int initial_capacity) const {
  const JsonNode* node = Lookup(root_, path);
  std::string out;
  if (node == nullptr) return out;
  out.reserve(initial_capacity > 0 ? static_cast<std::size_t>(initial_capacity) : 1024);
  if (pretty || !SerializeParallel(node, escape, &out)) {
    Serialize(node, pretty, escape, &out);
    FixSurrogates(&out);
  }
  return out;
}

// --- reading ---------------------------------------------------------------------------------

int JsonDocument::GetType(std::string_view path) const {
  const JsonNode* node = Lookup(root_, path);
  return node ? node->type : kMissing;
}

int JsonDocument::GetCount(std::string_view path) const {
  const JsonNode* node = Lookup(root_, path);
  return node ? static_cast<int>(node->children.size()) : 0;
}

bool JsonDocument::Exists(std::string_view path) const { return Lookup(root_, path) != nullptr; }

std::string JsonDocument::GetText(std::string_view path) const {
  const JsonNode* node = Lookup(root_, path);
  if (node == nullptr) return std::string();
  switch (node->type) {
    case kString:
      return Utf8Out(node->text);
    case kDouble:
    case kInteger:
      return node->text;
    case kBool:
      return node->num.b ? "true" : "false";
    default:
      return std::string();
  }
}

std::string JsonDocument::GetLiteral(std::string_view path) const {
  const JsonNode* node = Lookup(root_, path);
  if (node == nullptr) return std::string();
  switch (node->type) {
    case kNull:
      return "null";
    case kBool:
      return node->num.b ? "true" : "false";
    case kDouble:
    case kInteger:
      return node->text;
    default:
      return std::string();
  }
}

namespace {

double NodeDouble(const JsonNode* node) {
  if (node == nullptr) return 0;
  switch (node->type) {
    case JsonDocument::kDouble:
      return node->num.d;
    case JsonDocument::kInteger:
      return static_cast<double>(node->num.i);
    case JsonDocument::kBool:
      return node->num.b ? 1 : 0;
    case JsonDocument::kString:
      return ParseLeadingDouble(node->text);
    default:
      return 0;
  }
}

std::int64_t NodeInt64(const JsonNode* node) {
  if (node == nullptr) return 0;
  switch (node->type) {
    case JsonDocument::kDouble:
      return DoubleToInt64(node->num.d);
    case JsonDocument::kInteger:
      return node->num.i;
    case JsonDocument::kBool:
      return node->num.b ? 1 : 0;
    case JsonDocument::kString:
      return ParseLeadingInteger(node->text);
    default:
      return 0;
  }
}

}  // namespace

bool JsonDocument::GetBool(std::string_view path) const {
  const JsonNode* node = Lookup(root_, path);
  if (node == nullptr) return false;
  switch (node->type) {
    case kDouble:
      return std::fabs(node->num.d) > 1e-7;
    case kInteger:
      return node->num.i != 0;
    case kBool:
      return node->num.b;
    default:
      return false;
  }
}

double JsonDocument::GetDouble(std::string_view path) const {
  return NodeDouble(Lookup(root_, path));
}

std::int64_t JsonDocument::GetInt64(std::string_view path) const {
  return NodeInt64(Lookup(root_, path));
}

int JsonDocument::GetInt(std::string_view path) const {
  std::int64_t value = GetInt64(path);
  return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
}

std::string JsonDocument::GetKey(std::string_view path) const {
  const JsonNode* node = Lookup(root_, path);
  if (node == nullptr || node->parent == nullptr || node->parent->type != kObject) return {};
  return Utf8Out(node->key);
}

int JsonDocument::GetKeys(std::string_view path, std::vector<std::string>* keys) const {
  if (keys) keys->clear();
  const JsonNode* node = Lookup(root_, path);
  if (node == nullptr || node->type != kObject) return 0;
  if (keys) {
    keys->reserve(node->children.size());
    for (const JsonNode* child : node->children) keys->push_back(Utf8Out(child->key));
  }
  return static_cast<int>(node->children.size());
}

JsonDocument JsonDocument::GetItem(std::string_view path, int index) const {
  JsonDocument doc;
  const JsonNode* node = Lookup(root_, path);
  if (node == nullptr || !IsContainer(node) || index < 0 ||
      static_cast<std::size_t>(index) >= node->children.size()) {
    return doc;
  }
  doc.root_ = CopyTree(node->children[static_cast<std::size_t>(index)]);
  doc.root_->key.clear();
  return doc;
}

// --- writing -------------------------------------------------------------------------------

bool JsonDocument::Ensure(std::string_view path) { return Walk(root_, path) != nullptr; }

bool JsonDocument::SetText(std::string_view path, std::string_view value) {
  JsonNode* node = Walk(root_, path);
  if (node == nullptr) return false;
  FreeContent(node);
  node->type = kString;
  if (json_text::IsValidUtf8(value)) {
    node->text.assign(value);
  } else {
    node->text = json_text::SanitizeUtf8(value);
  }
  return true;
}

bool JsonDocument::SetNull(std::string_view path) {
  JsonNode* node = Walk(root_, path);
  if (node == nullptr) return false;
  MakeEmpty(node, kNull);
  return true;
}

bool JsonDocument::SetBool(std::string_view path, bool value) {
  JsonNode* node = Walk(root_, path);
  if (node == nullptr) return false;
  MakeEmpty(node, kBool);
  node->num.b = value;
  return true;
}

bool JsonDocument::SetDouble(std::string_view path, double value) {
  JsonNode* node = Walk(root_, path);
  if (node == nullptr) return false;
  if (!std::isfinite(value)) {
    // JSON has no literal for these; null is what other writers use.
    MakeEmpty(node, kNull);
    return true;
  }
  MakeEmpty(node, kDouble);
  node->num.d = value;
  node->text = NumberText(value);
  return true;
}

bool JsonDocument::SetInt64(std::string_view path, std::int64_t value) {
  JsonNode* node = Walk(root_, path);
  if (node == nullptr) return false;
  MakeEmpty(node, kInteger);
  node->num.i = value;
  node->text = NumberText(value);
  return true;
}

bool JsonDocument::SetInt(std::string_view path, int value) { return SetInt64(path, value); }

bool JsonDocument::SetEmptyObject(std::string_view path) {
  JsonNode* node = Walk(root_, path);
  if (node == nullptr) return false;
  if (node->type != kObject) MakeEmpty(node, kObject);
  return true;
}

bool JsonDocument::SetEmptyArray(std::string_view path) {
  JsonNode* node = Walk(root_, path);
  if (node == nullptr) return false;
  if (node->type != kArray) MakeEmpty(node, kArray);
  return true;
}

bool JsonDocument::Clear(std::string_view path) {
  JsonNode* node = Walk(root_, path);
  if (node == nullptr) return false;
  if (IsContainer(node)) {
    MakeEmpty(node, node->type);
  } else if (node->type == kString) {
    node->text.clear();
  }
  return true;
}

bool JsonDocument::SetObject(std::string_view path, std::string_view key, const JsonDocument& doc) {
  // An empty key could not be read back by the parser, so it is refused.
  if (doc.root_ == nullptr || root_ == nullptr || key.empty()) return false;
  std::string clean_key;
  key = CleanUtf8(key, &clean_key, true);
  // Copy first: doc may be this document, or the target may hold doc's root.
  JsonNode* copy = CopyTree(doc.root_);
  JsonNode* node = Walk(root_, path);
  if (node == nullptr) {
    FreeTree(copy);
    return false;
  }
  if (node->type != kObject) MakeEmpty(node, kObject);
  std::uint32_t hash = KeyHash(key);
  JsonNode* existing = FindMemberNode(node, key, hash);
  if (existing != nullptr) {
    MoveInto(existing, copy);
  } else {
    copy->key.assign(key);
    copy->hash = hash;
    AddMember(node, copy);
  }
  return true;
}

bool JsonDocument::SetItem(std::string_view path, int index, const JsonDocument& doc) {
  if (doc.root_ == nullptr || root_ == nullptr || index < 0) return false;
  JsonNode* copy = CopyTree(doc.root_);
  JsonNode* node = Walk(root_, path);
  if (node == nullptr) {
    FreeTree(copy);
    return false;
  }
  if (node->type != kArray) MakeEmpty(node, kArray);
  auto at = static_cast<std::size_t>(index);
  if (at < node->children.size()) {
    MoveInto(node->children[at], copy);
    return true;
  }
  while (node->children.size() < at) {
    JsonNode* pad = NewNode(kNull);
    pad->parent = node;
    node->children.push_back(pad);
  }
  copy->key.clear();
  copy->parent = node;
  node->children.push_back(copy);
  return true;
}

bool JsonDocument::Append(std::string_view path, const JsonDocument& doc) {
  if (doc.root_ == nullptr || root_ == nullptr) return false;
  JsonNode* copy = CopyTree(doc.root_);
  JsonNode* node = Walk(root_, path);
  if (node == nullptr) {
    FreeTree(copy);
    return false;
  }
  if (node->type != kArray) MakeEmpty(node, kArray);
  copy->key.clear();
  copy->parent = node;
  node->children.push_back(copy);
  return true;
}

bool JsonDocument::Append(std::string_view path, JsonDocument&& doc) {
  if (doc.root_ == nullptr || root_ == nullptr || doc.root_ == root_) return false;
  JsonNode* node = Walk(root_, path);
  if (node == nullptr) return false;
  if (node->type != kArray) MakeEmpty(node, kArray);
  JsonNode* moved = doc.root_;
  doc.root_ = nullptr;
  moved->key.clear();
  moved->parent = node;
  node->children.push_back(moved);
  return true;
}

bool JsonDocument::Insert(std::string_view path, int index, const JsonDocument& doc) {
  if (doc.root_ == nullptr || root_ == nullptr || index < 0) return false;
  JsonNode* copy = CopyTree(doc.root_);
  JsonNode* node = Walk(root_, path);
  if (node == nullptr) {
    FreeTree(copy);
    return false;
  }
  if (node->type != kArray) MakeEmpty(node, kArray);
  if (static_cast<std::size_t>(index) > node->children.size()) {
    FreeTree(copy);
    return false;
  }
  copy->key.clear();
  copy->parent = node;
  node->children.insert(node->children.begin() + index, copy);
  return true;
}

bool JsonDocument::InsertMember(std::string_view path, int position, std::string_view key,
                                const JsonDocument& doc) {
  if (doc.root_ == nullptr || root_ == nullptr || key.empty() || position < 0) return false;
  std::string clean_key;
  key = CleanUtf8(key, &clean_key, true);
  JsonNode* copy = CopyTree(doc.root_);
  JsonNode* node = Walk(root_, path);
  if (node == nullptr) {
    FreeTree(copy);
    return false;
  }
  if (node->type != kObject) MakeEmpty(node, kObject);
  std::uint32_t hash = KeyHash(key);
  JsonNode* existing = FindMemberNode(node, key, hash);
  if (existing != nullptr) {  // the key moves to the requested place
    Unlink(existing);
    FreeTree(existing);
  }
  copy->key.assign(key);
  copy->hash = hash;
  LinkMember(node, copy, static_cast<std::size_t>(position));
  return true;
}

// Removal only looks paths up: creating the path (and turning what is on
// the way into objects) to then remove nothing would destroy data.
bool JsonDocument::RemoveMember(std::string_view path, std::string_view key) {
  JsonNode* node = Lookup(root_, path);
  if (node == nullptr || node->type != kObject) return false;
  std::string clean_key;
  key = CleanUtf8(key, &clean_key, true);
  JsonNode* member = FindMemberNode(node, key, KeyHash(key));
  if (member == nullptr) return false;
  Unlink(member);
  FreeTree(member);
  return true;
}

bool JsonDocument::RemoveAt(std::string_view path, int index) {
  JsonNode* node = Lookup(root_, path);
  if (node == nullptr || node->type != kArray || index < 0 ||
      static_cast<std::size_t>(index) >= node->children.size()) {
    return false;
  }
  JsonNode* element = node->children[static_cast<std::size_t>(index)];
  node->children.erase(node->children.begin() + index);
  FreeTree(element);
  return true;
}

JsonDocument JsonDocument::GetDocument(std::string_view path) {
  JsonDocument doc;
  const JsonNode* node = Walk(root_, path);
  if (node == nullptr) return doc;
  doc.root_ = CopyTree(node);
  doc.root_->key.clear();
  return doc;
}

namespace {

// Merges the detached tree `source` into `target`: members of two objects
// one by one (recursively when deep), anything else replaced. Consumes
// source.
void MergeInto(JsonNode* target, JsonNode* source, bool deep) {
  std::vector<std::pair<JsonNode*, JsonNode*>> pending;
  pending.emplace_back(target, source);
  while (!pending.empty()) {
    auto [to, from] = pending.back();
    pending.pop_back();
    if (to->type != JsonDocument::kObject || from->type != JsonDocument::kObject) {
      MoveInto(to, from);
      continue;
    }
    std::vector<JsonNode*> members;
    members.swap(from->children);
    delete from;
    for (JsonNode* member : members) {
      member->parent = nullptr;
      member->next_in_bucket = nullptr;
      JsonNode* existing = FindMemberNode(to, member->key, member->hash);
      if (existing == nullptr) {
        AddMember(to, member);
      } else if (deep && existing->type == JsonDocument::kObject &&
                 member->type == JsonDocument::kObject) {
        pending.emplace_back(existing, member);
      } else {
        MoveInto(existing, member);
      }
    }
  }
}

}  // namespace

bool JsonDocument::MergeObject(std::string_view path, const JsonDocument& doc) {
  if (doc.root_ == nullptr || root_ == nullptr || doc.root_->type != kObject) return false;
  JsonNode* copy = CopyTree(doc.root_);
  JsonNode* node = Walk(root_, path);
  if (node == nullptr) {
    FreeTree(copy);
    return false;
  }
  if (node->type != kObject) MakeEmpty(node, kObject);
  MergeInto(node, copy, false);
  return true;
}

bool JsonDocument::AppendAll(std::string_view path, const JsonDocument& doc) {
  if (doc.root_ == nullptr || root_ == nullptr || doc.root_->type != kArray) return false;
  JsonNode* copy = CopyTree(doc.root_);
  JsonNode* node = Walk(root_, path);
  if (node == nullptr) {
    FreeTree(copy);
    return false;
  }
  if (node->type != kArray) MakeEmpty(node, kArray);
  for (JsonNode* element : copy->children) {
    element->parent = node;
    node->children.push_back(element);
  }
  copy->children.clear();
  delete copy;
  return true;
}

namespace {

// Merges a freshly parsed tree (taken out of *parsed_root) into the value
// at path.
bool MergeParsed(JsonNode* root, std::string_view path, bool ok, bool deep,
                 JsonNode** parsed_root) {
  if (!ok) return false;
  JsonNode* node = Walk(root, path);
  if (node == nullptr) return false;
  JsonNode* source = *parsed_root;
  *parsed_root = nullptr;
  MergeInto(node, source, deep);
  return true;
}

}  // namespace

bool JsonDocument::MergeJson(std::string_view path, std::string_view text,
                             bool decode_unicode_escapes, bool deep) {
  if (root_ == nullptr) return false;
  JsonDocument parsed;
  ParseOptions options;
  options.decode_unicode_escapes = decode_unicode_escapes;
  bool ok = parsed.Create(text, options);
  return MergeParsed(root_, path, ok, deep, &parsed.root_);
}

bool JsonDocument::SortKeys(std::string_view path, bool ascending, bool ignore_case) {
  JsonNode* node = Lookup(root_, path);
  if (node == nullptr || node->type != kObject) return false;
  std::vector<std::pair<std::string, JsonNode*>> keyed;
  keyed.reserve(node->children.size());
  for (JsonNode* child : node->children) {
    std::string key = Utf8Out(child->key);
    gchar* folded = ignore_case ? g_utf8_casefold(key.c_str(), -1) : nullptr;
    gchar* collate = g_utf8_collate_key(folded ? folded : key.c_str(), -1);
    keyed.emplace_back(collate, child);
    g_free(collate);
    g_free(folded);
  }
  std::stable_sort(keyed.begin(), keyed.end(), [ascending](const auto& a, const auto& b) {
    return ascending ? a.first < b.first : b.first < a.first;
  });
  for (std::size_t i = 0; i < keyed.size(); ++i) node->children[i] = keyed[i].second;
  return true;
}

bool JsonDocument::SortBy(std::string_view path, const Comparator& less) {
  JsonNode* node = Lookup(root_, path);
  if (node == nullptr || !IsContainer(node) || !less) return false;
  // The comparator sees documents; each element is copied once, not per
  // comparison.
  std::vector<JsonDocument> values(node->children.size());
  std::vector<std::size_t> order(node->children.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    values[i].root_ = CopyTree(node->children[i]);
    values[i].root_->key.clear();
    order[i] = i;
  }
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return less(values[a], values[b]); });
  std::vector<JsonNode*> sorted;
  sorted.reserve(order.size());
  for (std::size_t i : order) sorted.push_back(node->children[i]);
  node->children.swap(sorted);
  return true;
}

// --- handles ---------------------------------------------------------------------------

JsonDocument::Handle JsonDocument::GetRootHandle() const { return reinterpret_cast<Handle>(root_); }

bool JsonDocument::SetRootHandle(Handle handle) {
  auto* node = reinterpret_cast<JsonNode*>(handle);
  if (node == nullptr || node == root_) return false;
  for (const JsonNode* n = node; n != nullptr; n = n->parent) {
    if (n == root_) return false;
  }
  // A node without a container is some document's root; taking it would
  // leave two documents owning the same tree.
  if (node->parent == nullptr) return false;
  Unlink(node);
  node->key.clear();
  FreeTree(root_);
  root_ = node;
  return true;
}

JsonDocument::Handle JsonDocument::GetParentHandle(std::string_view path) const {
  const JsonNode* node = Lookup(root_, path);
  if (node == nullptr) return -1;
  return node == root_ ? 0 : reinterpret_cast<Handle>(node->parent);
}

JsonDocument::Handle JsonDocument::FindMember(std::string_view path, std::string_view key) const {
  const JsonNode* node = Lookup(root_, path);
  if (node == nullptr || node->type != kObject) return 0;
  std::string clean_key;
  key = CleanUtf8(key, &clean_key, true);
  return reinterpret_cast<Handle>(FindMemberNode(node, key, KeyHash(key)));
}

int JsonDocument::GetChildHandles(std::string_view path, std::vector<Handle>* handles) const {
  if (handles) handles->clear();
  const JsonNode* node = Lookup(root_, path);
  if (node == nullptr) return 0;
  if (handles) {
    for (const JsonNode* child : node->children) {
      handles->push_back(reinterpret_cast<Handle>(child));
    }
  }
  return static_cast<int>(node->children.size());
}

void JsonDocument::DetachRoot() {
  if (root_ != nullptr && root_->parent != nullptr) Unlink(root_);
}

}  // namespace tarn
