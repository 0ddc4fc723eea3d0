#include "data/json_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/json_test_support.h"

namespace tarn {
namespace {

using json_test::Failure;
using json_test::Parsed;

using namespace std::string_literals;

std::string Roundtrip(std::string_view text) { return Parsed(text).ToText(); }

TEST(JsonDocumentParse, AcceptsTheLenientForms) {
  JsonDocument doc = Parsed("{'a':1,b:\"x\",}");
  EXPECT_EQ(doc.GetInt("a"), 1);
  EXPECT_EQ(doc.GetText("b"), "x");
  EXPECT_EQ(doc.ToText(), R"({"a":1,"b":"x"})");
  EXPECT_EQ(Roundtrip("[1,,2,]"), "[1,2]");
  EXPECT_EQ(Roundtrip("{,,a:1,,}"), R"({"a":1})");
  // Blanks and NULs between tokens, a bare key with an inner space.
  EXPECT_EQ(Roundtrip(" \t\r\n{ my key : 'v' ,\0 n:null }\0 "s), R"({"my key":"v","n":null})");
  // A repeated key replaces the value where the first one stood.
  EXPECT_EQ(Roundtrip("{a:1,b:2,a:3}"), R"({"a":3,"b":2})");
  // A byte-order mark in front of the text is not part of it.
  EXPECT_EQ(Roundtrip("\xEF\xBB\xBF{\"a\":[true,false]}"), R"({"a":[true,false]})");
  EXPECT_EQ(Roundtrip(R"({"a":{"b":[[],{},[{"c":'d'}]]}})"), R"({"a":{"b":[[],{},[{"c":"d"}]]}})");
  // Parsing again replaces the whole tree.
  doc.Parse("[7]");
  EXPECT_EQ(doc.ToText(), "[7]");
}

TEST(JsonDocumentParse, ReportsErrorCodesAndUtf16Positions) {
  struct Case {
    const char* text;
    int code;
    std::size_t position;
  } cases[] = {
      {"", JsonDocument::kEmptyInput, 0},
      {" \r\n ", JsonDocument::kEmptyInput, 4},
      {"{", JsonDocument::kUnclosed, 1},
      {"[1,[2]", JsonDocument::kUnclosed, 6},
      {"{\"a\":1", JsonDocument::kUnclosed, 6},
      {"[1 ,\"x]", JsonDocument::kBadValue, 4},  // the open quote starts the bad value
      {"{:1}", JsonDocument::kMisplacedStructure, 1},
      {"{{}}", JsonDocument::kMisplacedStructure, 1},
      {"{[]}", JsonDocument::kMisplacedStructure, 1},
      {"{'':1}", JsonDocument::kMisplacedStructure, 1},
      {"{ab\"c\":1}", JsonDocument::kMisplacedStructure, 3},  // quote inside a key
      {"{a}", JsonDocument::kBadValue, 2},                    // key followed by nothing
      {"{\"a\",b:1}", JsonDocument::kBadValue, 4},
      {"{a:}", JsonDocument::kBadValue, 3},
      {"[1{]", JsonDocument::kBadValue, 2},
      {"[nul]", JsonDocument::kBadValue, 1},
      {"[True]", JsonDocument::kBadValue, 1},
      {"[1.2.3]", JsonDocument::kBadValue, 1},
      {"[1e2e3]", JsonDocument::kBadValue, 1},
      {"[-]", JsonDocument::kBadValue, 1},
      {"['x\"]", JsonDocument::kBadValue, 1},  // quotes must match
      {"[\"a\" \"b\"]", JsonDocument::kBadValue, 5},
      {"[:]", JsonDocument::kBadValue, 1},
      {"{} x", JsonDocument::kBadValue, 3},
      {"[\"\\u\"]", JsonDocument::kBadValue, 1},  // the escape swallows the quote
      {"nope", JsonDocument::kBadValue, 0},
      // Positions count UTF-16 units: é is one, the emoji two.
      {"[\"\xC3\xA9\xF0\x9F\x98\x80\",x]", JsonDocument::kBadValue, 7},
      // An invalid byte counts as the one U+FFFD it becomes.
      {"[\"\xFF\",x]", JsonDocument::kBadValue, 5},
  };
  for (const Case& c : cases) {
    JsonDocument::ParseResult result = Failure(c.text);
    EXPECT_EQ(result.code, c.code) << c.text;
    EXPECT_EQ(result.position, c.position) << c.text;
  }
}

TEST(JsonDocumentParse, TopLevelScalarsAndTheRejectOption) {
  JsonDocument doc = Parsed("1.50");
  EXPECT_EQ(doc.GetType(""), JsonDocument::kDouble);
  EXPECT_EQ(doc.GetText(""), "1.50");
  EXPECT_EQ(doc.ToText(), "1.50");
  EXPECT_EQ(Parsed(" 'quoted' ").GetText(""), "quoted");
  EXPECT_EQ(Parsed("true").GetType(""), JsonDocument::kBool);
  EXPECT_EQ(Failure("\"open").code, JsonDocument::kBadValue);

  JsonDocument::ParseOptions reject;
  reject.reject_top_level_scalar = true;
  JsonDocument ignored = Parsed("just text", reject);
  EXPECT_EQ(ignored.ToText(), "{}");
  EXPECT_EQ(Parsed("[1]", reject).ToText(), "[1]");
}

TEST(JsonDocumentParse, NumbersKeepTheirLiteralText) {
  JsonDocument doc = Parsed("[1.50,+5,1e3,-0.25,007,12345678901234567890123,1 2 ,-.5]");
  EXPECT_EQ(doc.ToText(), "[1.50,+5,1e3,-0.25,007,12345678901234567890123,12,-.5]");
  EXPECT_EQ(doc.GetType("[0]"), JsonDocument::kDouble);
  EXPECT_EQ(doc.GetType("[1]"), JsonDocument::kInteger);
  EXPECT_EQ(doc.GetInt("[1]"), 5);
  EXPECT_EQ(doc.GetText("[1]"), "+5");
  EXPECT_EQ(doc.GetType("[2]"), JsonDocument::kDouble);
  EXPECT_EQ(doc.GetDouble("[2]"), 1000.0);
  EXPECT_EQ(doc.GetInt("[4]"), 7);
  // Too large for 64 bits: still a number, as a double.
  EXPECT_EQ(doc.GetType("[5]"), JsonDocument::kDouble);
  EXPECT_DOUBLE_EQ(doc.GetDouble("[5]"), 1.2345678901234568e22);
  EXPECT_EQ(doc.GetDouble("[7]"), -0.5);
  EXPECT_EQ(doc.GetLiteral("[0]"), "1.50");
}

TEST(JsonDocumentParse, UnescapesStringsAndKeys) {
  JsonDocument doc = Parsed(R"({"a\nb":"a\nb","crlf":"x\r\ny","slash":"a\/b\\c\"d",)"
                            R"("ctl":"\b\t\f","other":"\q\'","u":"\u0041"})");
  EXPECT_EQ(doc.GetText("a\r\nb"), "a\r\nb");
  EXPECT_EQ(doc.GetText("crlf"), "x\r\ny");  // "\r\n" stays one CR LF
  EXPECT_EQ(doc.GetText("slash"), "a/b\\c\"d");
  EXPECT_EQ(doc.GetText("ctl"), "\b\t\f");
  EXPECT_EQ(doc.GetText("other"), "\\q\\'");
  EXPECT_EQ(doc.GetText("u"), "\\u0041");  // kept as six characters by default
  // A raw CR before an escaped \n also gives just LF.
  EXPECT_EQ(Parsed("[\"a\r\\nb\"]").GetText("[0]"), "a\r\nb");
  // Serialising writes the CR LF escaped and doubles the kept backslash.
  EXPECT_EQ(Parsed(R"(["a\nb","\u0041"])").ToText(), R"(["a\r\nb","\\u0041"])");

  JsonDocument::ParseOptions decode;
  decode.decode_unicode_escapes = true;
  JsonDocument decoded = Parsed(R"(["\u0041\u00e9","\ud83d\ude00","\u12G4","\ud800"])", decode);
  EXPECT_EQ(decoded.GetText("[0]"), "A\xC3\xA9");
  EXPECT_EQ(decoded.GetText("[1]"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(decoded.GetText("[2]"), "\\u12G4");
  EXPECT_EQ(decoded.GetText("[3]"), "\xEF\xBF\xBD");  // a lone surrogate has no UTF-8 form
  EXPECT_EQ(decoded.ToText("[3]"), "\"\xEF\xBF\xBD\"");
}

TEST(JsonDocumentParse, InvalidUtf8BecomesReplacementCharacters) {
  JsonDocument doc = Parsed("{\"k\xFF\":\"a\xC3\x28\xE2\x82\"}");
  std::vector<std::string> keys;
  ASSERT_EQ(doc.GetKeys("", &keys), 1);
  EXPECT_EQ(keys[0], "k\xEF\xBF\xBD");
  EXPECT_EQ(doc.GetText("k\xFF"), "a\xEF\xBF\xBD(\xEF\xBF\xBD\xEF\xBF\xBD");
  JsonDocument set;
  set.Create();
  set.SetText("v", "\xED\xA0\x80");  // an encoded surrogate is not UTF-8
  EXPECT_EQ(set.GetText("v"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

}  // namespace
}  // namespace tarn
