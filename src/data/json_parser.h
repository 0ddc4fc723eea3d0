// JsonParser: the lenient parser behind JsonDocument::Parse, over UTF-8 (or
// WTF-8) text. Private to the JSON document's files; the accepted syntax and
// the error positions are described in json_document.h.
//
// Containers are tracked on an explicit stack, so nesting depth is bounded
// by memory only. Everything a parse calls per token is in json_parser.cc,
// where the compiler can inline it into the main loop.
//
// Thread safety: a parser is used by one thread, on a tree no other thread
// uses.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "data/json_document.h"
#include "data/json_node.h"

namespace tarn::json_internal {

class JsonParser {
 public:
  // Empties root (the node stays) and parses text into it. Returns false on
  // an error: root is left an empty object, and *result (when given) holds
  // the code and the UTF-16 index where reading stopped; running out of
  // memory gives kOutOfMemory at 0.
  static bool ParseInto(JsonNode* root, std::string_view text, const JsonParseOptions& options,
                        JsonDocument::ParseResult* result);

 private:
  JsonParser(std::string_view text, bool decode_unicode_escapes)
      : p_(text.data()), n_(text.size()), decode_(decode_unicode_escapes) {}

  // Parses into root (an empty object). False with error_ and error_offset_
  // set.
  bool Run(JsonNode* root, bool reject_top_level_scalar);
  bool ReadContainers(JsonNode* root);
  JsonNode* NewElement(JsonNode* array, char first);
  JsonNode* NewMember(JsonNode* object, char* first);

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
  bool ReadScalar(JsonNode* node, bool alone);
  void Unescape(std::string_view raw, std::string* out) const;
  std::size_t AppendEscape(std::string_view raw, std::size_t at, std::string* out) const;
  std::size_t AppendUnicodeEscape(std::string_view raw, std::size_t at, std::string* out) const;
  static bool ScalarFromToken(std::string_view token, JsonNode* node);

  const char* p_;
  std::size_t n_;
  std::size_t pos_ = 0;
  bool decode_;
  int error_ = JsonDocument::kOk;
  std::size_t error_offset_ = 0;
  std::string key_;
};

}  // namespace tarn::json_internal
