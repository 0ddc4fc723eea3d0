#include "import/front_matter_line.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(FrontMatterLineTest, ReplacesOnlyAOneLineTopLevelValue) {
  struct Case {
    const char* text;
    const char* key;
    const char* expected;  // nullptr: refused, text unchanged
  };
  const Case cases[] = {
      {"---\ntags: a b\ntitle: t\n---\nbody tags: x\n", "tags",
       "---\ntags: [x]\ntitle: t\n---\nbody tags: x\n"},
      {"---\r\ntags:  a b\r\n---\r\n", "tags", "---\r\ntags:  [x]\r\n---\r\n"},
      {"+++\ntags = 'a b'\n+++\n", "tags", "+++\ntags = [x]\n+++\n"},
      {"---\ntagsmore: a\n---\n", "tags", nullptr},
      {"---\ntitle: t\n---\ntags: a\n", "tags", nullptr},
      {"---\ntags:\n  - a\n- b\ntitle: t\n---\n", "tags", "---\ntags: [x]\ntitle: t\n---\n"},
      {"---\ntags:\ntitle: t\n---\n", "tags", nullptr},
      {"---\ntags:\n- a\n---\n- b\n", "tags", "---\ntags: [x]\n---\n- b\n"},
      {"---\ntags: a\n  b\n---\n", "tags", nullptr},
      {"---\ntags: |\n  a\n---\n", "tags", nullptr},
      {"---\ntags: [a,\n b]\n---\n", "tags", nullptr},
      {"+++\ntags = \"\"\"a\nb\"\"\"\n+++\n", "tags", nullptr},
      {"tags: a\n", "tags", nullptr},
      {"---\n  tags: a\n---\n", "tags", nullptr},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    EXPECT_EQ(FrontMatterLine::Replace(&text, c.key, "[x]"), c.expected != nullptr) << c.text;
    EXPECT_EQ(text, c.expected ? c.expected : c.text);
  }
}

}  // namespace
}  // namespace tarn
