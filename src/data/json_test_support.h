// Helpers the JsonDocument tests share: parse a text expecting success or
// failure, with the failure's code and position.
#pragma once

#include <gtest/gtest.h>

#include <string_view>

#include "data/json_document.h"

namespace tarn::json_test {

inline JsonDocument Parsed(std::string_view text, JsonDocument::ParseOptions options = {}) {
  JsonDocument doc;
  JsonDocument::ParseResult result;
  EXPECT_TRUE(doc.Parse(text, options, &result))
      << text << " -> code " << result.code << " at " << result.position;
  return doc;
}

// Parses text with "\u" escapes decoded, which is how a lone surrogate
// gets into a document.
inline JsonDocument Decoded(std::string_view text) {
  JsonDocument::ParseOptions decode;
  decode.decode_unicode_escapes = true;
  return Parsed(text, decode);
}

// Parses text expecting a failure; returns the reported code and position.
inline JsonDocument::ParseResult Failure(std::string_view text) {
  JsonDocument doc;
  JsonDocument::ParseResult result;
  EXPECT_FALSE(doc.Parse(text, {}, &result)) << text;
  // Whatever went wrong, the document is left with an empty object root.
  EXPECT_EQ(doc.GetType(""), JsonDocument::kObject) << text;
  EXPECT_EQ(doc.GetCount(""), 0) << text;
  return result;
}

}  // namespace tarn::json_test
