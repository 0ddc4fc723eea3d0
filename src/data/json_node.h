// The node of a JsonDocument tree and the text-encoding helpers the document
// builds on. Private to the JSON document's files and their tests: callers
// outside the document only ever see opaque handles.
//
// Strings and keys are kept as WTF-8: UTF-8 that may also hold a lone UTF-16
// surrogate as a three-byte sequence, which is what a lone "\ud800" escape
// decodes to; keys that differ only there stay apart. UTF-8 text costs no
// conversion at all. Text handed out turns such a lone surrogate into U+FFFD.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

struct JsonNode {
  JsonNode* parent = nullptr;
  JsonNode* next_in_bucket = nullptr;  // chain of the parent object's hash bucket
  std::uint32_t hash = 0;              // hash of key, valid when parent is an object
  std::int32_t type = 6;               // JsonDocument::Type
  union {
    std::int64_t i;
    double d;
    bool b;
  } num{};
  std::string text;                 // string value, or the literal of a number
  std::string key;                  // key in the parent object
  std::vector<JsonNode*> children;  // elements, or member values in member order
  std::vector<JsonNode*> buckets;   // objects only; empty until the first member
};

namespace json_text {

// True when `text` is well-formed UTF-8 (no overlong forms; surrogates only
// when allow_surrogates, which accepts WTF-8).
bool IsValidUtf8(std::string_view text, bool allow_surrogates = false);
// `text` with every byte that is not part of a well-formed UTF-8 sequence
// replaced by U+FFFD.
std::string SanitizeUtf8(std::string_view text);
// `text` when it is valid UTF-8, else a copy in *scratch with every invalid
// byte replaced by U+FFFD. Paths and keys pass allow_surrogates: they may
// hold WTF-8's lone surrogates, which is how they name a key parsed from a
// lone "\ud800" escape.
inline std::string_view CleanUtf8(std::string_view text, std::string* scratch,
                                  bool allow_surrogates = false) {
  if (IsValidUtf8(text, allow_surrogates)) return text;
  *scratch = SanitizeUtf8(text);
  return *scratch;
}
// WTF-8 to UTF-8: lone surrogates become U+FFFD. Appends to *out.
void AppendUtf8(std::string_view wtf8, std::string* out);
// The same, as a new string.
inline std::string Utf8Out(std::string_view wtf8) {
  std::string out;
  AppendUtf8(wtf8, &out);
  return out;
}
// Number of UTF-16 code units encoding the WTF-8 text.
std::size_t Utf16Length(std::string_view wtf8);
// The member hash: over the key's UTF-16LE bytes from the last byte to the
// first, hash = hash * 31 + byte, with 32-bit wrap-around.
std::uint32_t KeyHash(std::string_view wtf8_key);

}  // namespace json_text
}  // namespace tarn
