#include "data/json_document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "data/json_node.h"
#include "data/json_parallel_serializer.h"
#include "data/utf8.h"

namespace tarn {

namespace {

using namespace std::string_literals;

JsonDocument Parsed(std::string_view text, JsonDocument::ParseOptions options = {}) {
  JsonDocument doc;
  JsonDocument::ParseResult result;
  EXPECT_TRUE(doc.Parse(text, options, &result))
      << text << " -> code " << result.code << " at " << result.position;
  return doc;
}

// Parses text expecting a failure; returns the reported code and position.
JsonDocument::ParseResult Failure(std::string_view text) {
  JsonDocument doc;
  JsonDocument::ParseResult result;
  EXPECT_FALSE(doc.Parse(text, {}, &result)) << text;
  // Whatever went wrong, the document is left with an empty object root.
  EXPECT_EQ(doc.GetType(""), JsonDocument::kObject) << text;
  EXPECT_EQ(doc.GetCount(""), 0) << text;
  return result;
}

// Parses text with "\u" escapes decoded, which is how a lone surrogate
// gets into a document.
JsonDocument Decoded(std::string_view text) {
  JsonDocument::ParseOptions decode;
  decode.decode_unicode_escapes = true;
  return Parsed(text, decode);
}

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

TEST(JsonDocumentSerialise, CompactPrettyAndRaw) {
  JsonDocument doc = Parsed(R"({"title":"a\/b","tags":["x","y"],"n":1.50})");
  EXPECT_EQ(doc.ToText(), R"({"title":"a\/b","tags":["x","y"],"n":1.50})");
  EXPECT_EQ(doc.ToText("tags"), R"(["x","y"])");
  EXPECT_EQ(doc.ToText("missing"), "");
  EXPECT_EQ(doc.ToText("n"), "1.50");

  JsonDocument nested = Parsed(R"({"a":1,"o":{"b":[{"c":2},{}]},"e":{}})");
  EXPECT_EQ(nested.ToText("", true),
            "{\r\n"
            "\t\"a\":1,\r\n"
            "\t\"o\":{\r\n"
            "\t\t\"b\":[{\r\n"
            "\t\t\t\t\"c\":2\r\n"
            "\t\t\t},{\r\n"
            "\t\t\t}]\r\n"
            "\t},\r\n"
            "\t\"e\":{\r\n"
            "\t}\r\n"
            "}");
  EXPECT_EQ(Parsed("{}").ToText("", true), "{\r\n}");
  EXPECT_EQ(Parsed("[1,[2]]").ToText("", true), "[1,[2]]");

  JsonDocument text;
  text.Create();
  text.SetText("k\"/", "q\"/\\\b\t\n\r\f\x01\xC3\xA9");
  EXPECT_EQ(text.ToText(), "{\"k\\\"\\/\":\"q\\\"\\/\\\\\\b\\t\\n\\r\\f\x01\xC3\xA9\"}");
  EXPECT_EQ(text.ToText("", false, false), "{\"k\"/\":\"q\"/\\\b\t\n\r\f\x01\xC3\xA9\"}");
  // The buffer size hint never changes the text.
  EXPECT_EQ(text.ToText("", false, true, 1), text.ToText("", false, true, -5));
}

TEST(JsonDocumentSerialise, EscapesAtEveryOffsetOfLongStrings) {
  // Long runs of plain text are skipped in blocks; a character needing an
  // escape must be caught wherever it falls in a block.
  const std::pair<char, const char*> specials[] = {
      {'"', "\\\""}, {'/', "\\/"}, {'\\', "\\\\"}, {'\n', "\\n"}, {'\x1F', "\x1F"}};
  for (const auto& [raw, escaped] : specials) {
    for (std::size_t at = 0; at < 20; ++at) {
      std::string value(20, 'a');
      value[at] = raw;
      value += "\xC3\xA9\xE4\xB8\xAD";  // non-ASCII passes unchanged
      JsonDocument doc = JsonDocument::NewText(value);
      std::string expected = "\"" + std::string(at, 'a') + escaped + std::string(19 - at, 'a') +
                             "\xC3\xA9\xE4\xB8\xAD\"";
      EXPECT_EQ(doc.ToText(), expected) << at;
    }
  }
}

TEST(JsonDocumentPaths, ReadingFollowsNamesIndexesAndEscapes) {
  JsonDocument doc = Parsed(
      R"({"a.b":1,"a":{"b":2,"c":[10,[20,21]]},"x[0]":3,"s\\t":4,"q\\z":5,"pages":[{"tpl":"p"}]})");
  EXPECT_EQ(doc.GetText("a\\.b"), "1");
  EXPECT_EQ(doc.GetText("a.b"), "2");
  EXPECT_EQ(doc.GetText("a..b"), "2");
  EXPECT_EQ(doc.GetText(".a.b"), "2");
  EXPECT_EQ(doc.GetText("x\\[0\\]"), "3");
  EXPECT_EQ(doc.GetText("s\\\\t"), "4");
  EXPECT_EQ(doc.GetText("q\\z"), "5");  // a backslash before anything else stays
  EXPECT_EQ(doc.GetText("a.c[1][0]"), "20");
  EXPECT_EQ(doc.GetText("a.c[1].0"), "");  // a name never indexes an array
  EXPECT_EQ(doc.GetText("pages[0].tpl"), "p");
  EXPECT_EQ(doc.GetText("[0]"), "1");  // index on an object: member order
  EXPECT_EQ(doc.GetText("[1].c[0]"), "10");
  EXPECT_EQ(doc.GetText("a.c[x]"), "10");  // non-numeric index text reads as 0
  EXPECT_EQ(doc.GetText("a.c[5]"), "");
  EXPECT_EQ(doc.GetText("a.c[-1]"), "");
  EXPECT_EQ(doc.GetType("a.c[-1]"), JsonDocument::kMissing);
  EXPECT_EQ(doc.GetType("a.b.c"), JsonDocument::kMissing);
  EXPECT_FALSE(doc.Exists("A"));  // keys are case-sensitive
  EXPECT_TRUE(doc.Exists("a.c[1]"));
  EXPECT_EQ(doc.GetCount("a.c"), 2);
  EXPECT_EQ(doc.GetCount("a"), 2);
  EXPECT_EQ(doc.GetCount("a.b"), 0);
  EXPECT_EQ(doc.GetKey("a.b"), "b");
  EXPECT_EQ(doc.GetKey("a.c[0]"), "");
  EXPECT_EQ(doc.GetKey(""), "");
  EXPECT_EQ(doc.GetItem("a.c", 1).ToText(), "[20,21]");
  EXPECT_EQ(doc.GetItem("a", 0).ToText(), "2");
  EXPECT_FALSE(doc.GetItem("a.c", 2).HasTree());
  EXPECT_FALSE(doc.GetItem("a.c", -1).HasTree());
}

TEST(JsonDocumentPaths, WritingCreatesWhatIsMissing) {
  JsonDocument doc;
  EXPECT_FALSE(doc.SetText("a.b[2]", "x"));  // no tree yet
  EXPECT_FALSE(doc.HasTree());
  doc.Create();
  EXPECT_TRUE(doc.SetText("a.b[2]", "x"));
  EXPECT_EQ(doc.ToText(), R"({"a":{"b":[null,null,"x"]}})");
  // A name turns a non-object into an object, an index a non-array into an array.
  EXPECT_TRUE(doc.SetInt("a.b.c", 1));
  EXPECT_EQ(doc.ToText(), R"({"a":{"b":{"c":1}}})");
  EXPECT_TRUE(doc.SetBool("a[1]", true));
  EXPECT_EQ(doc.ToText(), R"({"a":[null,true]})");
  // A negative index anywhere fails before anything changes.
  EXPECT_FALSE(doc.SetText("z.y[-1]", "x"));
  EXPECT_FALSE(doc.Ensure("a[-1]"));
  EXPECT_EQ(doc.ToText(), R"({"a":[null,true]})");
  EXPECT_TRUE(doc.Ensure("e\\.f[0].g"));
  EXPECT_EQ(doc.ToText(), R"({"a":[null,true],"e.f":[{"g":null}]})");
  // The empty path is the root.
  EXPECT_TRUE(doc.SetText("", "root"));
  EXPECT_EQ(doc.ToText(), R"("root")");
  EXPECT_TRUE(doc.SetEmptyArray(""));
  EXPECT_EQ(doc.ToText(), "[]");
}

TEST(JsonDocumentPaths, SettersConvertersAndLiterals) {
  JsonDocument doc;
  doc.Create();
  doc.SetNull("n");
  doc.SetBool("t", true);
  doc.SetDouble("d", -2.5);
  doc.SetInt64("big", 9007199254740993LL);
  doc.SetInt("i", -7);
  doc.SetText("s", "42abc");
  doc.SetText("f", " 3.75x");
  doc.SetDouble("tiny", 1e-9);
  doc.SetDouble("nan", std::nan(""));
  EXPECT_EQ(doc.ToText(),
            R"({"n":null,"t":true,"d":-2.5,"big":9007199254740993,"i":-7,"s":"42abc",)"
            R"("f":" 3.75x","tiny":1e-09,"nan":null})");
  EXPECT_EQ(doc.GetLiteral("n"), "null");
  EXPECT_EQ(doc.GetLiteral("t"), "true");
  EXPECT_EQ(doc.GetLiteral("s"), "");
  EXPECT_EQ(doc.GetText("n"), "");
  EXPECT_EQ(doc.GetText("t"), "true");
  EXPECT_EQ(doc.GetType("i"), JsonDocument::kInteger);
  EXPECT_EQ(doc.GetType("d"), JsonDocument::kDouble);
  // Integer conversions: doubles truncate, strings parse their leading digits.
  EXPECT_EQ(doc.GetInt("d"), -2);
  EXPECT_EQ(doc.GetInt("t"), 1);
  EXPECT_EQ(doc.GetInt("s"), 42);
  EXPECT_EQ(doc.GetInt("f"), 3);
  EXPECT_EQ(doc.GetInt("n"), 0);
  EXPECT_EQ(doc.GetInt64("big"), 9007199254740993LL);
  EXPECT_EQ(doc.GetInt("big"), 2147483647);  // saturates rather than wraps
  EXPECT_EQ(doc.GetDouble("f"), 3.75);
  EXPECT_EQ(doc.GetDouble("i"), -7.0);
  // Booleans: numbers by value, strings never.
  EXPECT_TRUE(doc.GetBool("d"));
  EXPECT_FALSE(doc.GetBool("tiny"));
  EXPECT_TRUE(doc.GetBool("i"));
  EXPECT_FALSE(doc.GetBool("s"));
  EXPECT_FALSE(Parsed(R"({"s":"true"})").GetBool("s"));
  EXPECT_FALSE(doc.GetBool("missing"));
  EXPECT_EQ(Parsed("[1e300]").GetInt64("[0]"), INT64_MAX);
  EXPECT_EQ(Parsed(R"(["-99999999999999999999"])").GetInt64("[0]"), INT64_MIN);
}

TEST(JsonDocumentObjects, MembersKeepInsertionOrder) {
  JsonDocument doc = Parsed(R"({"z":1,"a":2,"m":3})");
  doc.SetText("a", "replaced");
  doc.SetObject("", "z", JsonDocument::NewArray());
  doc.SetInt("b", 4);
  std::vector<std::string> keys;
  EXPECT_EQ(doc.GetKeys("", &keys), 4);
  EXPECT_EQ(keys, (std::vector<std::string>{"z", "a", "m", "b"}));
  EXPECT_EQ(doc.ToText(), R"({"z":[],"a":"replaced","m":3,"b":4})");
  EXPECT_TRUE(doc.RemoveMember("", "z"));
  EXPECT_FALSE(doc.RemoveMember("", "z"));
  doc.SetInt("z", 5);  // a removed key comes back at the end
  EXPECT_EQ(doc.ToText(), R"({"a":"replaced","m":3,"b":4,"z":5})");
  EXPECT_TRUE(doc.InsertMember("", 1, "first", JsonDocument::NewInt64(0)));
  EXPECT_TRUE(doc.InsertMember("", 0, "z", JsonDocument::NewNull()));  // moves the key
  EXPECT_TRUE(doc.InsertMember("", 99, "end", JsonDocument::NewBool(false)));
  EXPECT_FALSE(doc.InsertMember("", -1, "x", JsonDocument::NewNull()));
  EXPECT_EQ(doc.ToText(), R"({"z":null,"a":"replaced","first":0,"m":3,"b":4,"end":false})");
  EXPECT_FALSE(doc.SetObject("", "", JsonDocument::NewNull()));
  EXPECT_FALSE(doc.SetObject("", "k", JsonDocument()));
}

TEST(JsonDocumentObjects, ManyMembersStayAddressableThroughGrowthAndRemoval) {
  JsonDocument doc;
  doc.Create();
  const int count = 500;
  for (int i = 0; i < count; ++i) doc.SetInt("k" + std::to_string(i), i);
  for (int i = 0; i < count; i += 3) doc.RemoveMember("", "k" + std::to_string(i));
  for (int i = 0; i < count; ++i) {
    std::string key = "k" + std::to_string(i);
    if (i % 3 == 0) {
      EXPECT_FALSE(doc.Exists(key)) << key;
    } else {
      EXPECT_EQ(doc.GetInt(key), i) << key;
    }
  }
  EXPECT_EQ(doc.GetCount(""), count - (count + 2) / 3);
  EXPECT_EQ(doc.GetText("[0]"), "1");
  // A copy has its own working table.
  JsonDocument copy = doc.Clone();
  copy.SetInt("k1", -1);
  EXPECT_EQ(copy.GetInt("k499"), 499);
  EXPECT_EQ(doc.GetInt("k1"), 1);
}

TEST(JsonDocumentObjects, KeyHashIsOverUtf16BytesLastToFirst) {
  for (std::string key : {"", "a", "title", "\xC3\xA9t\xC3\xA9", "\xF0\x9F\x98\x80x"}) {
    const std::u16string units = Utf8ToUtf16(key);
    std::uint32_t expected = 0;
    for (std::size_t i = units.size(); i-- > 0;) {
      expected = expected * 31 + static_cast<std::uint8_t>(units[i] >> 8);
      expected = expected * 31 + static_cast<std::uint8_t>(units[i] & 0xFF);
    }
    EXPECT_EQ(json_text::KeyHash(key), expected) << key;
  }
  // A lone surrogate hashes as its one UTF-16 unit.
  EXPECT_EQ(json_text::KeyHash("\xED\xA0\x80"), 0xD8u * 31 + 0x00u);
}

TEST(JsonDocumentCopies, DocumentsNeverShareNodes) {
  JsonDocument doc = Parsed(R"({"a":{"b":[1,2]}})");
  JsonDocument clone = doc.Clone();
  JsonDocument copied(doc);
  JsonDocument assigned;
  assigned = doc;
  doc.SetText("a.b[0]", "changed");
  for (const JsonDocument* d : {&clone, &copied, &assigned}) {
    EXPECT_EQ(d->ToText(), R"({"a":{"b":[1,2]}})");
  }
  JsonDocument part = Parsed("[{\"x\":1}]");
  doc.SetObject("p", "k", part);
  doc.Append("arr", part);
  doc.SetItem("arr", 2, part);
  doc.Insert("arr", 0, part);
  part.SetInt("[0].x", 9);
  EXPECT_EQ(doc.GetInt("p.k[0].x"), 1);
  EXPECT_EQ(doc.GetInt("arr[3][0].x"), 1);
  // A document put into itself is copied before anything changes.
  doc.SetObject("a", "self", doc);
  EXPECT_EQ(doc.GetText("a.self.a.b[0]"), "changed");
  EXPECT_FALSE(doc.Exists("a.self.a.self"));
  doc.SetItem("arr", 0, doc);
  EXPECT_EQ(doc.GetText("arr[0].a.b[0]"), "changed");
  JsonDocument item = doc.GetItem("arr", 1);
  item.SetInt("[0].x", 5);
  EXPECT_EQ(doc.GetInt("arr[1][0].x"), 1);
  // Moving hands the tree over.
  JsonDocument moved = std::move(clone);
  EXPECT_FALSE(clone.HasTree());  // NOLINT(bugprone-use-after-move)
  EXPECT_TRUE(moved.HasTree());
  // So does appending an rvalue, which copies nothing; a failed append (no
  // tree to append to, itself) leaves it as it was.
  JsonDocument list = Parsed(R"({"l":[0]})");
  list.Append("l", std::move(moved));
  EXPECT_FALSE(moved.HasTree());  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(list.ToText(), R"({"l":[0,{"a":{"b":[1,2]}}]})");
  list.SetInt("l[1].a.b[0]", 7);
  EXPECT_EQ(list.ToText(), R"({"l":[0,{"a":{"b":[7,2]}}]})");
  JsonDocument none;
  JsonDocument kept = Parsed("[3]");
  EXPECT_FALSE(none.Append("x", std::move(kept)));
  EXPECT_EQ(kept.ToText(), "[3]");  // NOLINT(bugprone-use-after-move)
  EXPECT_FALSE(list.Append("l", std::move(list)));
  EXPECT_EQ(list.GetInt("l[1].a.b[0]"), 7);  // NOLINT(bugprone-use-after-move)
}

TEST(JsonDocumentArrays, SetItemPadsAndOtherArrayEdits) {
  JsonDocument doc;
  doc.Create();
  EXPECT_TRUE(doc.SetItem("list", 3, JsonDocument::NewText("d")));
  EXPECT_EQ(doc.ToText("list"), R"([null,null,null,"d"])");
  EXPECT_TRUE(doc.SetItem("list", 1, JsonDocument::NewInt64(1)));
  EXPECT_TRUE(doc.SetItem("list", 4, JsonDocument::NewDouble(0.5)));
  EXPECT_FALSE(doc.SetItem("list", -1, JsonDocument::NewNull()));
  EXPECT_EQ(doc.ToText("list"), R"([null,1,null,"d",0.5])");
  EXPECT_TRUE(doc.Insert("list", 0, JsonDocument::NewText("first")));
  EXPECT_TRUE(doc.Insert("list", 6, JsonDocument::NewText("last")));
  EXPECT_FALSE(doc.Insert("list", 8, JsonDocument::NewNull()));
  EXPECT_TRUE(doc.RemoveAt("list", 1));
  EXPECT_FALSE(doc.RemoveAt("list", 6));
  EXPECT_EQ(doc.ToText("list"), R"(["first",1,null,"d",0.5,"last"])");
  EXPECT_FALSE(doc.RemoveAt("", 0));  // the root is an object, not an array
  EXPECT_TRUE(doc.AppendAll("list", Parsed("[7,[8]]")));
  EXPECT_FALSE(doc.AppendAll("list", Parsed("{}")));
  EXPECT_EQ(doc.GetCount("list"), 8);
  EXPECT_TRUE(doc.Clear("list"));
  EXPECT_EQ(doc.ToText(), R"({"list":[]})");
  // Removal never creates the path it was given.
  EXPECT_FALSE(doc.RemoveAt("none.x", 0));
  EXPECT_FALSE(doc.RemoveMember("none", "x"));
  EXPECT_EQ(doc.ToText(), R"({"list":[]})");
}

TEST(JsonDocumentEdits, ClearEmptyContainersMergeAndSort) {
  JsonDocument doc = Parsed(R"({"o":{"a":1},"s":"text","n":3})");
  EXPECT_TRUE(doc.SetEmptyObject("o"));  // already an object: left alone
  EXPECT_EQ(doc.GetCount("o"), 1);
  EXPECT_TRUE(doc.SetEmptyArray("o"));
  EXPECT_EQ(doc.ToText("o"), "[]");
  doc.Clear("s");
  doc.Clear("n");  // numbers have nothing to empty
  EXPECT_EQ(doc.ToText(), R"({"o":[],"s":"","n":3})");

  JsonDocument base = Parsed(R"({"site":{"title":"t","nav":{"a":1,"b":2}},"keep":1})");
  JsonDocument shallow = base.Clone();
  EXPECT_TRUE(shallow.MergeJson("", R"({"site":{"nav":{"b":3}},"new":true})", false, false));
  EXPECT_EQ(shallow.ToText(), R"({"site":{"nav":{"b":3}},"keep":1,"new":true})");
  JsonDocument deep = base.Clone();
  EXPECT_TRUE(deep.MergeJson("", R"({"site":{"nav":{"b":3,"c":4}},"keep":[1]})", false, true));
  EXPECT_EQ(deep.ToText(), R"({"site":{"title":"t","nav":{"a":1,"b":3,"c":4}},"keep":[1]})");
  EXPECT_FALSE(deep.MergeJson("", "{", false, true));
  EXPECT_TRUE(deep.MergeJson("keep", "\"now text\"", false, true));
  EXPECT_EQ(deep.GetText("keep"), "now text");
  EXPECT_TRUE(deep.MergeObject("site", Parsed(R"({"title":"u","x":0})")));
  EXPECT_EQ(deep.ToText("site"), R"({"title":"u","nav":{"a":1,"b":3,"c":4},"x":0})");
  EXPECT_FALSE(deep.MergeObject("site", Parsed("[1]")));

  JsonDocument sorted = Parsed(R"({"b":1,"C":2,"a":3})");
  EXPECT_TRUE(sorted.SortKeys("", true, true));
  EXPECT_EQ(sorted.ToText(), R"({"a":3,"b":1,"C":2})");
  EXPECT_TRUE(sorted.SortKeys("", false, true));
  EXPECT_EQ(sorted.ToText(), R"({"C":2,"b":1,"a":3})");
  EXPECT_EQ(sorted.GetInt("a"), 3);  // lookups still work after reordering

  JsonDocument posts = Parsed(R"([{"t":2},{"t":1},{"t":3},{"t":1}])");
  EXPECT_TRUE(posts.SortBy("", [](const JsonDocument& a, const JsonDocument& b) {
    return a.GetInt("t") < b.GetInt("t");
  }));
  EXPECT_EQ(posts.ToText(), R"([{"t":1},{"t":1},{"t":2},{"t":3}])");
  EXPECT_TRUE(sorted.SortBy("", [](const JsonDocument& a, const JsonDocument& b) {
    return a.GetInt("") > b.GetInt("");
  }));
  EXPECT_EQ(sorted.ToText(), R"({"a":3,"C":2,"b":1})");
  EXPECT_EQ(sorted.GetInt("b"), 1);
}

TEST(JsonDocumentText, LoneSurrogateEscapesStayApartAndShowAsReplacement) {
  JsonDocument doc = Decoded(R"({"\u00e9":["\ud83d\ude00"],"x\udc00y":"x\udc00y","x\ud800y":2})");
  EXPECT_EQ(doc.GetText("\xC3\xA9[0]"), "\xF0\x9F\x98\x80");
  const std::string low = "x\xED\xB0\x80y";  // how a path names the key "x\udc00y"
  const std::string high = "x\xED\xA0\x80y";
  const std::string shown = "x\xEF\xBF\xBDy";
  EXPECT_EQ(doc.GetCount(""), 3);  // two keys, not one replaced
  EXPECT_EQ(doc.GetText(low), shown);
  EXPECT_EQ(doc.GetInt(high), 2);
  EXPECT_FALSE(doc.Exists(shown));
  EXPECT_EQ(doc.GetKey(low), shown);
  std::vector<std::string> keys;
  EXPECT_EQ(doc.GetKeys("", &keys), 3);
  EXPECT_EQ(keys, (std::vector<std::string>{"\xC3\xA9", shown, shown}));
  EXPECT_EQ(doc.ToText(), "{\"\xC3\xA9\":[\"\xF0\x9F\x98\x80\"],\"" + shown + "\":\"" + shown +
                              "\",\"" + shown + "\":2}");
  EXPECT_NE(doc.FindMember("", low), 0);
  EXPECT_TRUE(doc.SetObject("", low, JsonDocument::NewInt64(1)));  // replaced in place
  EXPECT_EQ(doc.GetInt("[1]"), 1);
  EXPECT_TRUE(doc.RemoveMember("", low));
  EXPECT_EQ(doc.GetCount(""), 2);
  EXPECT_EQ(doc.GetInt(high), 2);
  EXPECT_TRUE(doc.MergeJson("m", R"({"a":"\u00e9\udfff"})", true, true));
  EXPECT_EQ(doc.GetText("m.a"), "\xC3\xA9\xEF\xBF\xBD");
}

TEST(JsonDocumentHandles, FindParentChildrenAndAdoption) {
  JsonDocument doc = Parsed(R"({"a":{"b":[1,2]},"c":3})");
  JsonDocument::Handle root = doc.GetRootHandle();
  EXPECT_NE(root, 0);
  EXPECT_EQ(doc.GetParentHandle(""), 0);
  EXPECT_EQ(doc.GetParentHandle("a"), root);
  EXPECT_EQ(doc.GetParentHandle("zz"), -1);
  JsonDocument::Handle a = doc.FindMember("", "a");
  EXPECT_EQ(doc.GetParentHandle("a.b"), a);
  EXPECT_EQ(doc.FindMember("", "zz"), 0);
  std::vector<JsonDocument::Handle> children;
  EXPECT_EQ(doc.GetChildHandles("", &children), 2);
  EXPECT_EQ(children[0], a);

  // Another document adopts a subtree: it leaves its old place.
  JsonDocument other;
  EXPECT_TRUE(other.SetRootHandle(doc.FindMember("a", "b")));
  EXPECT_EQ(other.ToText(), "[1,2]");
  EXPECT_EQ(doc.ToText(), R"({"a":{},"c":3})");
  EXPECT_EQ(other.GetParentHandle(""), 0);
  // Refused: the own root, an own descendant, and another document's root.
  EXPECT_FALSE(doc.SetRootHandle(doc.GetRootHandle()));
  EXPECT_FALSE(doc.SetRootHandle(doc.FindMember("", "a")));
  EXPECT_FALSE(doc.SetRootHandle(other.GetRootHandle()));
  EXPECT_FALSE(doc.SetRootHandle(0));
  doc.DetachRoot();  // the root sits in no container: nothing happens
  EXPECT_EQ(doc.ToText(), R"({"a":{},"c":3})");
}

TEST(JsonDocumentDepth, MillionLevelsNeitherOverflowNorFail) {
  const std::size_t depth = 1000000;
  std::string arrays(depth, '[');
  arrays.append(depth, ']');
  {
    JsonDocument doc = Parsed(arrays);
    JsonDocument copy = doc.Clone();
    EXPECT_EQ(copy.ToText(), arrays);
    std::string pretty = doc.ToText("", true);
    EXPECT_EQ(pretty.size(), arrays.size());  // arrays add no line breaks
  }                                           // both destroyed here

  std::string objects;
  for (std::size_t i = 0; i < depth; ++i) objects += "{a:";
  objects += "1";
  objects.append(depth, '}');
  JsonDocument doc = Parsed(objects);
  std::string path;
  for (int i = 0; i < 5; ++i) path += "a.";
  EXPECT_EQ(doc.GetType(path), JsonDocument::kObject);
  std::string compact = doc.ToText();
  EXPECT_EQ(compact.size(), depth * 6 + 1);
  EXPECT_EQ(compact.substr(0, 12), "{\"a\":{\"a\":{\"");

  // An unclosed deep text fails cleanly.
  JsonDocument::ParseResult result = Failure(std::string(depth, '['));
  EXPECT_EQ(result.code, JsonDocument::kUnclosed);
  EXPECT_EQ(result.position, depth);

  // A deep path written through setters is just as safe.
  std::string long_path;
  for (int i = 0; i < 100000; ++i) long_path += "[0]";
  JsonDocument built;
  built.Create();
  EXPECT_TRUE(built.SetText(long_path, "deep"));
  EXPECT_EQ(built.GetText(long_path), "deep");
  JsonDocument merged;
  merged.Create();
  EXPECT_TRUE(merged.SetObject("", "k", built));
  EXPECT_TRUE(merged.MergeJson("", objects, false, true));
}

TEST(JsonDocumentLifecycle, CreateReleaseAndEmptyDocuments) {
  JsonDocument doc;
  EXPECT_FALSE(doc.HasTree());
  EXPECT_EQ(doc.GetType(""), JsonDocument::kMissing);
  EXPECT_EQ(doc.ToText(), "");
  EXPECT_FALSE(doc.Ensure("a"));
  EXPECT_FALSE(doc.Append("", JsonDocument::NewNull()));
  EXPECT_EQ(doc.GetRootHandle(), 0);
  EXPECT_TRUE(doc.Create());
  EXPECT_EQ(doc.ToText(), "{}");
  JsonDocument::ParseResult result;
  EXPECT_FALSE(doc.Create("", {}, &result));
  EXPECT_EQ(result.code, JsonDocument::kEmptyInput);
  EXPECT_TRUE(doc.HasTree());
  // A root handle survives a new parse: the root node is reused.
  JsonDocument::Handle root = doc.GetRootHandle();
  doc.Parse("[1]");
  EXPECT_EQ(doc.GetRootHandle(), root);
  doc.Release();
  EXPECT_FALSE(doc.HasTree());
  EXPECT_TRUE(doc.Parse("{\"a\":1}"));  // Parse makes a root when there is none
  EXPECT_EQ(doc.GetInt("a"), 1);
  EXPECT_EQ(JsonDocument::NewNull().ToText(), "null");
  EXPECT_EQ(JsonDocument::NewObject().ToText(), "{}");
  EXPECT_EQ(JsonDocument::NewArray().ToText(), "[]");
  EXPECT_EQ(JsonDocument::NewBool(false).ToText(), "false");
  EXPECT_EQ(JsonDocument::NewInt64(-3).ToText(), "-3");
  EXPECT_EQ(JsonDocument::NewDouble(0.1).ToText(), "0.1");
  EXPECT_EQ(JsonDocument::NewText("a\"b").ToText(), R"("a\"b")");
  EXPECT_EQ(doc.GetDocument("new.path").ToText(), "null");  // created on the way
  EXPECT_TRUE(doc.Exists("new.path"));
}

TEST(JsonDocumentLifecycle, LineAndColumnForMessages) {
  int line = 0;
  int column = 0;
  std::string text = "{\r\n\t\"\xC3\xA9\xF0\x9F\x98\x80\": x\n}";
  JsonDocument doc;
  JsonDocument::ParseResult result;
  EXPECT_FALSE(doc.Parse(text, {}, &result));
  JsonDocument::LineAndColumn(text, result.position, &line, &column);
  EXPECT_EQ(line, 2);
  EXPECT_EQ(column, 8);  // TAB, quote, é, emoji, quote, colon, space, then x
  JsonDocument::LineAndColumn(text, 0, &line, &column);
  EXPECT_EQ(line, 1);
  EXPECT_EQ(column, 1);
}

// --- large documents are written on several threads ----------------------------

// Restores the default choice between one and several threads when a test
// ends, whatever it set.
class JsonDocumentParallel : public ::testing::Test {
 protected:
  void TearDown() override { json_testing::ResetParallelSerialisation(); }

  // The text written on one thread, for comparison.
  static std::string OneThread(const JsonDocument& doc, std::string_view path = "",
                               bool escape = true) {
    json_testing::SetParallelSerialisation(SIZE_MAX, 0, 0);
    return doc.ToText(path, false, escape);
  }

  // Expects the text cut into `pieces` and written on `threads` threads to
  // equal the one-thread text, and the several-thread writer to have run.
  static void ExpectSameInPieces(const JsonDocument& doc, unsigned threads, std::size_t pieces,
                                 std::string_view path = "") {
    for (bool escape : {true, false}) {
      const std::string expected = OneThread(doc, path, escape);
      json_testing::SetParallelSerialisation(0, threads, pieces);
      const std::size_t runs = json_testing::ParallelSerialisations();
      const std::string actual = doc.ToText(path, false, escape);
      EXPECT_EQ(json_testing::ParallelSerialisations(), runs + 1) << "ran on one thread";
      ASSERT_EQ(actual.size(), expected.size()) << threads << " threads, " << pieces << " pieces";
      if (actual != expected) {
        std::size_t at =
            std::mismatch(actual.begin(), actual.end(), expected.begin()).first - actual.begin();
        FAIL() << threads << " threads, " << pieces << " pieces: differs at byte " << at << ": "
               << actual.substr(at > 20 ? at - 20 : 0, 60);
      }
    }
  }
};

// The text of a seeded random tree: nested objects and arrays, keys and
// strings with quotes, slashes, backslashes, control characters, CR LF,
// multi-byte UTF-8 and lone surrogates (escapes, to be parsed decoded), and
// numbers kept as their literal text.
class RandomTree {
 public:
  explicit RandomTree(unsigned seed) : random_(seed) {}

  std::string Value(int depth) {
    int kind = Pick(depth >= 6 ? 4 : 7);
    if (kind <= 1) return Text();
    if (kind == 2) {
      const char* const kNumbers[] = {"1.50", "-0", "1e5", "123456789012345678901234", "+7", "0"};
      return kNumbers[Pick(6)];
    }
    if (kind == 3) {
      const char* const kLiterals[] = {"null", "true", "false"};
      return kLiterals[Pick(3)];
    }
    const bool array = kind <= 4;
    std::string out(1, array ? '[' : '{');
    int count = Pick(3) == 0 ? 0 : Pick(8);
    for (int i = 0; i < count; ++i) {
      if (i > 0) out += ',';
      if (!array) out += "\"" + Characters(3) + "k" + std::to_string(i) + "\":";
      out += Value(depth + 1);
    }
    out += array ? ']' : '}';
    return out;
  }

 private:
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

  // Up to `most` pieces, as they stand between the quotes of a JSON string.
  std::string Characters(int most) {
    static const char* const kPieces[] = {"plain words ",
                                          "\\\"",
                                          "\\\\",
                                          "/",
                                          "\r\n",
                                          "\n",
                                          "\t",
                                          "\x01",
                                          "\x1F",
                                          "caf\xC3\xA9",
                                          "\xE4\xB8\xAD\xE6\x96\x87",
                                          "\xF0\x9F\x98\x80",
                                          "\\ud800",
                                          "\\udfff",
                                          "x\\udbffy"};
    std::string text;
    int count = Pick(most);
    for (int i = 0; i < count; ++i) text += kPieces[Pick(sizeof kPieces / sizeof kPieces[0])];
    return text;
  }

  std::string Text() {
    if (Pick(2) == 0) return "\"" + Characters(12) + "\"";
    return "\"a \\\"quoted\\\" \\\\path\\\\ at /x/ \xC3\xA9\r\n\"";
  }

  std::mt19937 random_;
};

TEST_F(JsonDocumentParallel, RandomTreesMatchTheOneThreadText) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    RandomTree tree(seed);
    std::string text = "{";
    for (int i = 0; i < 4; ++i) {
      text += (i > 0 ? ",\"m" : "\"m") + std::to_string(i) + "\":" + tree.Value(1);
    }
    JsonDocument doc = Decoded(text + "}");
    SCOPED_TRACE("seed " + std::to_string(seed));
    // A piece for every token puts a cut at every place one can fall.
    ExpectSameInPieces(doc, 2, 1000000);
    ExpectSameInPieces(doc, 3, 7);
    ExpectSameInPieces(doc, 4, 2);
    if (HasFailure()) return;
  }
}

TEST_F(JsonDocumentParallel, EdgeShapes) {
  // Containers empty, nested empty, objects and arrays side by side.
  for (const char* text : {"{}", "[]", "[[],{},[[]],{\"a\":{}}]", "{\"a\":[],\"b\":[{}],\"c\":1}",
                           "[1,[2,[3,[4]]],{\"x\":[5]}]"}) {
    SCOPED_TRACE(text);
    ExpectSameInPieces(Parsed(text), 2, 1000000);
  }
  // A root scalar is written on one thread.
  json_testing::SetParallelSerialisation(0, 2, 1000000);
  std::size_t runs = json_testing::ParallelSerialisations();
  EXPECT_EQ(Parsed("1.50").ToText(), "1.50");
  EXPECT_EQ(Decoded(R"("a\ud800\"")").ToText(), "\"a\xEF\xBF\xBD\\\"\"");
  EXPECT_EQ(json_testing::ParallelSerialisations(), runs);

  // One giant string among small members, and a subtree below the root.
  JsonDocument big = Parsed(R"({"a":1,"list":[{"x":"y"},2,3],"z":[]})");
  std::string giant;
  for (int i = 0; i < 200000; ++i) giant += "line \"" + std::to_string(i) + "\"\r\n/";
  giant += "\xED\xA0\x80";  // not valid UTF-8: stored as U+FFFD
  big.SetText("list[0].giant", giant);
  ExpectSameInPieces(big, 2, 16);
  ExpectSameInPieces(big, 3, 1000000, "list");
  ExpectSameInPieces(big, 2, 5, "list[0]");
}

TEST_F(JsonDocumentParallel, MillionLevelsCutDeepDown) {
  // Both texts are already in the compact form, so they must come back as
  // they are, cut many levels down.
  const std::size_t depth = 1000000;
  std::string arrays;
  for (std::size_t i = 0; i < depth; ++i) arrays += "[\"a\\/\",";
  arrays += "{}";
  arrays.append(depth, ']');
  std::string objects;
  for (std::size_t i = 0; i < depth; ++i) objects += "{\"a\":1,\"b\":";
  objects += "[]";
  objects.append(depth, '}');
  for (const std::string* text : {&arrays, &objects}) {
    JsonDocument doc = Parsed(*text);
    json_testing::SetParallelSerialisation(0, 3, 10);
    const std::size_t runs = json_testing::ParallelSerialisations();
    EXPECT_TRUE(doc.ToText() == *text);
    EXPECT_EQ(json_testing::ParallelSerialisations(), runs + 1);
  }
}

// The post index a build writes: a few site members and every post twice.
JsonDocument DatabaseShape(int posts, std::size_t content_bytes) {
  JsonDocument doc = Parsed(R"({"site":{"title":"A blog","url":"https:\/\/example.org\/"},)"
                            R"("create_time":"2026-12-08 03:00:00","posts":[],"timeline":[]})");
  std::string content;
  while (content.size() < content_bytes) {
    content += "Some *Markdown* with a [link](https://example.org/a/b) and \"quotes\".\r\n";
    content += "Caf\xC3\xA9 \xE4\xB8\xAD\xE6\x96\x87, a tab\t, a back\\slash.\r\n\r\n";
  }
  const JsonDocument lone = Decoded(R"("\udc00")");
  for (const char* list : {"posts", "timeline"}) {
    for (int i = 0; i < posts; ++i) {
      JsonDocument post = JsonDocument::NewObject();
      post.SetText("title", "Post " + std::to_string(i));
      post.SetInt("id", i);
      post.SetText("url", "/posts/" + std::to_string(i) + ".html");
      post.SetText("tags[0]", "notes");
      post.SetText("content", content);
      post.SetObject("", "lone", i % 97 == 0 ? lone : JsonDocument::NewText(""));
      EXPECT_TRUE(doc.Append(list, std::move(post)));
    }
  }
  return doc;
}

TEST_F(JsonDocumentParallel, PostIndexAboveTheDefaultSize) {
  // About 12 MB: past the size at which ToText turns to several threads by
  // itself; on a one-core machine make it use two all the same.
  JsonDocument doc = DatabaseShape(1000, 6000);
  const std::string expected = OneThread(doc);
  json_testing::ResetParallelSerialisation();
  if (std::thread::hardware_concurrency() < 2) {
    json_testing::SetParallelSerialisation(8 << 20, 2, 0);
  }
  const std::size_t runs = json_testing::ParallelSerialisations();
  const std::string actual = doc.ToText("", false, true, 1024);
  EXPECT_EQ(json_testing::ParallelSerialisations(), runs + 1);
  EXPECT_GT(actual.size(), std::size_t{12} << 20);
  EXPECT_TRUE(actual == expected);
  EXPECT_EQ(actual.find("\xED\xB0\x80"), std::string::npos);
  EXPECT_NE(actual.find("\"lone\":\"\xEF\xBF\xBD\""), std::string::npos);
  // Many small pieces, and the two lists apart.
  ExpectSameInPieces(doc, 4, 64);
  ExpectSameInPieces(doc, 2, 5, "timeline");
  // Small documents stay on the calling thread.
  json_testing::ResetParallelSerialisation();
  const std::size_t before = json_testing::ParallelSerialisations();
  DatabaseShape(10, 6000).ToText();
  EXPECT_EQ(json_testing::ParallelSerialisations(), before);
}

}  // namespace
}  // namespace tarn
