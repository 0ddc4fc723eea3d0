#include "data/json_document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "data/json_parallel_serializer.h"
#include "data/json_test_support.h"

namespace tarn {
namespace {

using json_test::Decoded;
using json_test::Parsed;

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
