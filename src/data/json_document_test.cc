#include "data/json_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/json_test_support.h"

namespace tarn {
namespace {

using json_test::Decoded;
using json_test::Parsed;

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

}  // namespace
}  // namespace tarn
