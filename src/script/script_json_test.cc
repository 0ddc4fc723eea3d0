#include "script/script_json.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

// A ScriptJson ready to use, holding text.
ScriptJson Parsed(std::string_view text) {
  ScriptJson json;
  EXPECT_TRUE(json.Init());
  EXPECT_TRUE(json.Parse(text)) << text;
  return json;
}

TEST(ScriptJsonTest, ParseAcceptsValuesAndRejectsNullAndBrokenTexts) {
  ScriptJson json;
  EXPECT_FALSE(json.Parse("{\"a\":1}"));  // no engine before Init
  ASSERT_TRUE(json.Init());
  EXPECT_TRUE(json.Parse("{\"a\":1}"));
  EXPECT_TRUE(json.Parse("[]"));
  EXPECT_TRUE(json.Parse("0"));
  EXPECT_FALSE(json.Parse("null"));
  EXPECT_FALSE(json.Parse(""));
  EXPECT_FALSE(json.Parse("{\"a\":"));
  EXPECT_FALSE(json.Parse("{\"a\" 1}"));
  EXPECT_FALSE(json.Parse("[1, 2"));
  EXPECT_EQ(json.ToText(), "null");  // a failed parse leaves null, not the old value

  // Line breaks inside strings become \r and \n; between tokens they are kept,
  // so pretty-printed JSON is accepted too.
  EXPECT_TRUE(json.Parse("{\"a\":\"one\r\ntwo\nthree\"}"));
  EXPECT_EQ(json.GetText("a"), "one\r\ntwo\nthree");
  EXPECT_TRUE(json.Parse("{\r\n  \"a\": [\n    1,\n    'x\ny'\n  ] // note\n}"));
  EXPECT_EQ(json.ToText(), "{\"a\":[1,\"x\\ny\"]}");
}

TEST(ScriptJsonTest, LineBreaksAreEscapedOnlyInsideStringLiterals) {
  // Each text holds raw line breaks; it parses only when every one inside a
  // string literal, and none elsewhere, is written as an escape.
  const struct {
    const char* text;
    const char* written;
  } kCases[] = {
      {"[\"q\\\"\nr\"]", "[\"q\\\"\\nr\"]"},                         // after an escaped quote
      {"['a\"\nb', \"c'\r\nd\"]", "[\"a\\\"\\nb\",\"c'\\r\\nd\"]"},  // the other quote
      {"[`a\nb`, `\\``]", "[\"a\\nb\",\"`\"]"},                      // template literals
      {"[1 /* it's\n */, 'x\ny']", "[1,\"x\\ny\"]"},                 // a quote in a comment
      {"[1, // it's\n'x\ny']", "[1,\"x\\ny\"]"},
      {"[4/2,\n'x\ny']", "[2,\"x\\ny\"]"},  // a slash alone
  };
  ScriptJson json;
  ASSERT_TRUE(json.Init());
  for (const auto& c : kCases) {
    EXPECT_TRUE(json.Parse(c.text)) << c.text;
    EXPECT_EQ(json.ToText(), c.written) << c.text;
  }
}

TEST(ScriptJsonTest, EveryParseStartsFromAFreshEngine) {
  ScriptJson json;
  ASSERT_TRUE(json.Init());
  EXPECT_TRUE(json.Parse("(globalThis.leftOver = 1, get__count = null, {})"));
  EXPECT_TRUE(json.Parse("typeof leftOver == 'undefined' ? [get__count([1, 2])] : null"));
  EXPECT_EQ(json.ToText(), "[2]");
}

TEST(ScriptJsonTest, BackslashesSurviveReading) {
  ScriptJson json = Parsed("{\"path\":\"C:\\\\dir\\\\file\",\"list\":[\"a\\\\b\"]}");
  EXPECT_EQ(json.GetText("path"), "C:\\dir\\file");
  EXPECT_EQ(json.GetItemText("list", 0), "a\\b");
  EXPECT_EQ(json.GetText("path", true), "\"C:\\\\dir\\\\file\"");
  EXPECT_EQ(json.ToText(), "{\"path\":\"C:\\\\dir\\\\file\",\"list\":[\"a\\\\b\"]}");
  // U+2400 is the carrier of backslashes: reading turns it into one.
  ASSERT_TRUE(json.Parse("{\"c\":\"x\xE2\x90\x80y\"}"));
  EXPECT_EQ(json.GetText("c"), "x\\y");
}

TEST(ScriptJsonTest, TextsHaveNoWayOutAndCannotHang) {
  ScriptJson json;
  json.SetTimeLimit(0.2);
  ASSERT_TRUE(json.Init());
  EXPECT_TRUE(
      json.Parse("[typeof require, typeof process, typeof fetch, typeof XMLHttpRequest, "
                 "typeof readFile, typeof load, typeof print]"));
  EXPECT_EQ(json.ToText(),
            "[\"undefined\",\"undefined\",\"undefined\",\"undefined\","
            "\"undefined\",\"undefined\",\"undefined\"]");
  EXPECT_FALSE(json.Parse("(function () { while (true) {} })()"));
  EXPECT_FALSE(json.Parse("1); for (;;) {} (2"));
  // The object is usable afterwards, and so is an engine that timed out
  // outside Parse.
  EXPECT_TRUE(json.Parse("{\"a\":[1]}"));
  EXPECT_FALSE(json.SetValue("a", "(function () { for (;;) {} })()"));
  EXPECT_EQ(json.GetCount("a"), 1);
  EXPECT_FALSE(json.Parse("(function f(n) { return f(n + 1) + 1; })(0)"));  // stack overflow
}

TEST(ScriptJsonTest, ReadsCountsKeysAndTypes) {
  ScriptJson json = Parsed(
      "{\"b\":1.5,\"a\":[1,2,3],\"s\":\"x\",\"t\":true,\"n\":null,"
      "\"line\\r\\nkey\":{},\"o\":{\"p\":[{\"q\":\"deep\"}]}}");
  EXPECT_EQ(json.GetCount("a"), 3);
  EXPECT_EQ(json.GetCount("b"), 0);
  EXPECT_EQ(json.GetCount("o"), 0);
  EXPECT_EQ(json.GetCount("missing.x"), 0);
  EXPECT_EQ(json.GetText("o.p[0].q"), "deep");
  EXPECT_EQ(json.GetText("b"), "");  // not a string
  EXPECT_EQ(json.GetText("b", true), "1.5");

  std::vector<std::string> keys = {"stale"};
  EXPECT_EQ(json.GetKeys("", &keys), 7);
  EXPECT_EQ(keys, (std::vector<std::string>{"b", "a", "s", "t", "n", "line\r\nkey", "o"}));
  EXPECT_EQ(json.GetKeys("s", &keys), 0);
  EXPECT_TRUE(keys.empty());
  EXPECT_EQ(json.GetKeys("nothing.here", &keys), 0);

  EXPECT_EQ(json.GetType("s"), ScriptJson::kString);
  EXPECT_EQ(json.GetType("a"), ScriptJson::kArray);
  EXPECT_EQ(json.GetType("o"), ScriptJson::kObject);
  EXPECT_EQ(json.GetType("b"), ScriptJson::kNumber);
  EXPECT_EQ(json.GetType("t"), ScriptJson::kBoolean);
  EXPECT_EQ(json.GetType("n"), ScriptJson::kNull);
  EXPECT_EQ(json.GetType("missing"), ScriptJson::kNull);
  EXPECT_EQ(json.GetType("missing.deeper"), ScriptJson::kNull);
  EXPECT_EQ(json.GetType("[\"a\"].map"), ScriptJson::kOther);
  EXPECT_EQ(json.Expression(""), "da");
  EXPECT_EQ(json.Expression("[0].x"), "da[0].x");
  EXPECT_EQ(json.Expression("pages[1]"), "da.pages[1]");
  EXPECT_EQ(json.Evaluate("da.a.length * da.b"), 4.5);
  EXPECT_EQ(json.Evaluate("da.missing.x"), 0);
}

TEST(ScriptJsonTest, AppendSetItemAndRemoveAtChangeArrays) {
  ScriptJson json = Parsed("{\"list\":[1,2,3],\"s\":\"x\"}");
  // Texts are stored exactly, whatever quotes and backslashes they hold.
  std::string tricky = "it's \"quoted\" \\ and\r\nbroken \xE4\xB8\xAD";
  EXPECT_TRUE(json.Append("list", tricky, true));
  EXPECT_TRUE(json.Append("list", "[2 * 2]", false));
  EXPECT_EQ(json.GetCount("list"), 5);
  EXPECT_EQ(json.GetItemText("list", 3), tricky);
  EXPECT_EQ(json.GetItemText("list", 4, true), "[4]");
  EXPECT_TRUE(json.Append("s", "y", true));  // a non-array becomes an array
  EXPECT_EQ(json.ToTextAt("s"), "[\"y\"]");
  EXPECT_TRUE(json.Append("fresh", "1", false));
  EXPECT_EQ(json.ToTextAt("fresh"), "[1]");

  EXPECT_TRUE(json.SetItem("list", 0, "zero'", true));
  EXPECT_TRUE(json.SetItem("list", 6, "true", false));  // past the end: a hole reads as null
  EXPECT_FALSE(json.SetItem("list", -1, "x", true));
  EXPECT_FALSE(json.SetItem("list", 0, "syntax error (", false));
  EXPECT_EQ(json.GetItemText("list", 0), "zero'");
  EXPECT_EQ(json.GetCount("list"), 7);
  EXPECT_EQ(json.ToTextAt("list"),
            "[\"zero'\",2,3,\"it's \\\"quoted\\\" \\\\ and\\r\\nbroken \xE4\xB8\xAD\","
            "[4],null,true]");

  EXPECT_TRUE(json.RemoveAt("list", 1));
  EXPECT_TRUE(json.RemoveAt("list", 50));
  EXPECT_FALSE(json.RemoveAt("list", -1));
  EXPECT_FALSE(json.RemoveAt("fresh.x", 0));
  EXPECT_EQ(json.GetCount("list"), 6);
  EXPECT_EQ(json.GetItemText("list", 1, true), "3");
  EXPECT_EQ(json.GetItemText("list", 5, true), "true");
}

TEST(ScriptJsonTest, ChangesValuesByPath) {
  ScriptJson json;
  ASSERT_TRUE(json.Init());
  EXPECT_EQ(json.ToText(), "{}");
  EXPECT_TRUE(json.SetValue("a", "{b: [1, 'two']}"));
  EXPECT_TRUE(json.Assign("c", "'1 + 2'"));
  EXPECT_EQ(json.ToText(), "{\"a\":{\"b\":[1,\"two\"]},\"c\":3}");
  EXPECT_TRUE(json.Remove("c"));
  EXPECT_FALSE(json.SetValue("x.y", "1"));  // x is undefined
  EXPECT_EQ(json.ToText(), "{\"a\":{\"b\":[1,\"two\"]}}");
  EXPECT_TRUE(json.Reset());
  EXPECT_EQ(json.ToText(), "{}");
}

TEST(ScriptJsonTest, ExtendMergesObjectsAndArrays) {
  ScriptJson json = Parsed("{\"o\":{\"keep\":1,\"n\":2,\"deep\":{\"x\":1}},\"arr\":[1]}");
  EXPECT_TRUE(json.Extend("o", "{\"n\":5,\"s\":\"t\",\"deep\":{\"y\":2}}", true));
  EXPECT_TRUE(json.Extend("arr", "[2,3]", true));
  EXPECT_TRUE(json.Extend("arr", "C:\\x", false));
  EXPECT_EQ(json.ToText(),
            "{\"o\":{\"keep\":1,\"n\":5,\"deep\":{\"x\":1,\"y\":2},\"s\":\"t\"},"
            "\"arr\":[1,2,3,\"C:\\\\x\"]}");
  EXPECT_FALSE(json.Extend("o", "{broken", true));
  EXPECT_EQ(json.GetText("o.s"), "t");
  // A "__proto__" member is data, not a new prototype.
  EXPECT_TRUE(json.Extend("o", "{\"__proto__\":{\"polluted\":1}}", true));
  EXPECT_EQ(json.GetType("o.polluted"), ScriptJson::kNull);
  EXPECT_EQ(json.ToTextAt("o.__proto__"), "{\"polluted\":1}");
  EXPECT_EQ(json.GetType("({}).polluted"), ScriptJson::kNull);
  EXPECT_TRUE(json.Extend("new", "{\"a\":1}", true));
  EXPECT_EQ(json.ToTextAt("new"), "{\"a\":1}");
}

TEST(ScriptJsonTest, CopiesAreIndependent) {
  ScriptJson json = Parsed("{\"items\":[{\"t\":\"a\\\\b\"},{\"t\":\"c\"}]}");
  ScriptJson copy = json;
  ScriptJson item = json.GetItem("items", 0);
  ScriptJson doc = json.GetDocument("items[1]");
  ScriptJson none = json.GetItem("items", 9);
  EXPECT_TRUE(json.SetValue("items", "[]"));
  EXPECT_EQ(copy.GetCount("items"), 2);
  EXPECT_EQ(item.GetText("t"), "a\\b");
  EXPECT_EQ(doc.ToText(), "{\"t\":\"c\"}");
  EXPECT_EQ(none.GetType(""), ScriptJson::kNull);

  ScriptJson moved = copy.Detach();
  EXPECT_FALSE(copy.HasEngine());
  EXPECT_EQ(copy.ToText(), "");
  EXPECT_FALSE(copy.Append("x", "1", false));
  EXPECT_EQ(copy.GetCount("items"), 0);
  EXPECT_EQ(moved.GetCount("items"), 2);
  ScriptJson empty;
  ScriptJson empty_copy = empty;
  EXPECT_FALSE(empty_copy.HasEngine());
}

}  // namespace
}  // namespace tarn
