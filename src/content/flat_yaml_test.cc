#include "content/flat_yaml.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "content/front_matter.h"

namespace tarn {
namespace {

struct Outcome {
  bool read = false;
  std::string values;
  bool operator==(const Outcome&) const = default;
};

// What FrontMatter makes of a post with block as its front matter, through
// FlatYaml where it reads the block (flat) or through yaml-cpp alone.
Outcome Parse(const std::string& block, bool flat) {
  FrontMatter front;
  front.set_flat_yaml(flat);
  Outcome outcome;
  outcome.read = front.Read("---\n" + block + "\n---\nBody.\n", "p.md", nullptr);
  outcome.values = front.values().ToText();
  return outcome;
}

// FlatYaml must never change what a block means: whenever it reads one, the
// values are yaml-cpp's. Checked on the forms posts carry and on the edges
// of the form (each either read alike or left to yaml-cpp).
void ExpectSameAsYamlCpp(const std::string& block) {
  EXPECT_EQ(Parse(block, true), Parse(block, false)) << "block:\n" << block;
}

const char* const kScalars[] = {
    "Hello world",
    "true",
    "True",
    "TRUE",
    "false",
    "yes",
    "no",
    "on",
    "off",
    "null",
    "Null",
    "NULL",
    "~",
    "12",
    "-0.5",
    "1e3",
    "1E+3",
    "0",
    "-0",
    "0x1F",
    "1_000",
    ".5",
    "+1",
    "007",
    "1.",
    "12abc",
    "2020-01-01",
    "2020-01-01 10:00:00 +0800",
    "2018-07-01T09:30:00+02:00",
    "10:30",
    "http://a.b/c?d=e#f",
    "a#b",
    "a # comment",
    "a  #comment",
    "C#",
    "中文标题 — 一",
    "a\"b",
    "a'b",
    "(x)",
    "$x",
    "~x",
    "=x",
    "<x>",
    ";x",
    "^x",
    ".inf",
    "-.inf",
    ".NaN",
    "a, b",
    "a [b]",
    "a {b}",
    "-1",
    "-x",
    "a:b",
    "a:",
    "a: b",
    "-",
    "- a",
    "? a",
    ": a",
    "|",
    ">-",
    "&a x",
    "*a",
    "!!str 1",
    "@x",
    "%x",
    "`x`",
    "{a: 1}",
    "\"a\"",
    "\"a \\\"b\\\"\"",
    "\"a\\nb\"",
    "\"true\"",
    "\"12\"",
    "'it''s'",
    "'a\" b'",
    "\"a\" # c",
    "\"a\"b",
    "'unclosed",
    "\"\"",
    "''",
    "' spaced '",
    "[]",
    "[ ]",
    "[a, b]",
    "[a,b]",
    "[ \"a\", 'b' ]",
    "[1, true, null, ~]",
    "[a, b, ]",
    "[a, [b]]",
    "[a: b]",
    "[a # c]",
    "[a] # c",
    "[a]x",
    "[a, , b]",
    "[中文, 标签]",
    "[\"a, b\", c]",
    "[a b, c d]",
    "a\tb",
    "value   ",
};

TEST(FlatYamlTest, EveryScalarMeansWhatYamlCppReadsInIt) {
  for (const char* scalar : kScalars) {
    ExpectSameAsYamlCpp(std::string("key: ") + scalar);
    ExpectSameAsYamlCpp(std::string("tags:\n- ") + scalar + "\n- second");
    ExpectSameAsYamlCpp(std::string("tags:\n  - ") + scalar + "\ntitle: after");
  }
}

TEST(FlatYamlTest, LayoutsAroundTheKeysMeanWhatYamlCppReads) {
  const char* const blocks[] = {
      "",
      "# only a comment",
      "title: a\r\ndate: 2020-01-01\r\ntags: [a]\r",
      "title: a\n\n  # indented comment\ndraft: true",
      "title: a\ntitle: b",
      "tags:\n  - a\n - b",
      "tags:\n- a\n\n# between\n- b\ntitle: x",
      "tags:\n  -\n  - # nothing\n  - c",
      "tags:\ntitle: x",
      "tags: # none yet\n",
      "nested:\n  key: value",
      "title: first line\n  continued",
      "title: a\n- stray",
      "key-with.dots_and-dashes: 1",
      "-key: 1",
      ".key: 1",
      "2020: year",
      "\"quoted key\": 1",
      "key : spaced",
      "key:no-space",
      "key:\tvalue",
      "title: \xC2\x85 next line",
      "title: a\xE2\x80\xA8"
      "b",
      "title: \xEF\xBB\xBFmark",
      "title: \xFF bad",
      "title: a\rb",
      "? complex\n: key",
      "anchor: &a x\nalias: *a",
      "text: |\n  block",
      "%YAML 1.2",
  };
  for (const char* block : blocks) ExpectSameAsYamlCpp(block);
}

// Blocks put together from the scalars above with every layout the form
// has (and some it has not), to catch what the tables miss.
TEST(FlatYamlTest, GeneratedBlocksMeanWhatYamlCppReads) {
  std::mt19937 random(20261208);
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  const char* const keys[] = {"title", "date", "tags", "draft", "description", "a-b", "a.b", "_k"};
  const std::size_t scalars = std::size(kScalars);
  for (int round = 0; round < 1500; ++round) {
    std::string block;
    const char* eol = pick(8) == 0 ? "\r\n" : "\n";
    for (std::size_t k = 0, n = 1 + pick(4); k < n; ++k) {
      block += std::string(keys[pick(std::size(keys))]) + ":";
      switch (pick(4)) {
        case 0:
          block += " " + std::string(kScalars[pick(scalars)]) + eol;
          break;
        case 1: {
          std::string indent(pick(3) * 2, ' ');
          block += eol;
          for (std::size_t i = 0, items = pick(4); i < items; ++i)
            block += indent + "- " + kScalars[pick(scalars)] + eol;
          break;
        }
        case 2:
          block += std::string(pick(2) ? "" : "   ") + eol;
          break;
        default:
          block += std::string(" ") + (pick(2) ? "# note" : "") + eol + (pick(3) ? "" : "  x") +
                   (pick(2) ? "" : eol);
      }
      if (pick(6) == 0) block += std::string(pick(2) ? "" : "  ") + "# comment" + eol;
    }
    ExpectSameAsYamlCpp(block);
  }
}

// The fast path is worth having only if it takes what posts carry.
TEST(FlatYamlTest, ReadsTheFrontMatterPostsCarry) {
  const char* const blocks[] = {
      "title: \"Hello, world\"\ndate: 2024-03-01 10:00:00\ntags: [notes, 日记]\ndraft: false",
      "title: 'It''s here'\ncategories:\n  - Diary/Life\n  - Notes\ndescription: A day out.",
      "layout: post\ntitle: A post\ndate: 2018-07-01T09:30:00+02:00\ntags:\n- a\n- b\n",
      "title: 中文标题\nslug: zhong-wen\nweight: 3\ncover: /img/a.jpg # the big one",
  };
  for (const char* block : blocks) {
    JsonDocument values;
    EXPECT_TRUE(FlatYaml::Read(block, &values)) << block;
    ExpectSameAsYamlCpp(block);
  }
}

}  // namespace
}  // namespace tarn
