#include "data/json_document.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "data/json_test_support.h"

namespace tarn {
namespace {

using json_test::Parsed;

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

}  // namespace
}  // namespace tarn
