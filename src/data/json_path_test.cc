#include "data/json_document.h"

#include <gtest/gtest.h>

#include <string>

#include "data/json_test_support.h"

namespace tarn {
namespace {

using json_test::Parsed;

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
  EXPECT_EQ(doc.GetType("a.c[18446744073709551617]"), JsonDocument::kMissing);  // not [1]
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

}  // namespace
}  // namespace tarn
