#include "data/json_document.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "data/json_node.h"
#include "data/json_test_support.h"
#include "data/utf8.h"

namespace tarn {
namespace {

using json_test::Failure;
using json_test::Parsed;

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

}  // namespace
}  // namespace tarn
