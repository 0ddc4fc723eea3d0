#include "data/json_document.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "data/json_test_support.h"

namespace tarn {
namespace {

using json_test::Parsed;

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
  // Digits past the 64-bit range saturate, whatever the digits wrap to.
  const struct {
    const char* text;
    std::int64_t value;
  } kSaturating[] = {
      {"18446744073709551616", INT64_MAX},      {"18446744073709551620", INT64_MAX},
      {"-18446744073709551620", INT64_MIN},     {"123456789012345678901234", INT64_MAX},
      {"9223372036854775807", INT64_MAX},       {"-9223372036854775808", INT64_MIN},
      {"9223372036854775806x9", INT64_MAX - 1},
  };
  for (const auto& c : kSaturating) {
    EXPECT_EQ(JsonDocument::NewText(c.text).GetInt64(""), c.value) << c.text;
  }
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

}  // namespace
}  // namespace tarn
