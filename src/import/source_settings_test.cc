#include "import/source_settings.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

namespace tarn {
namespace {

SourceSettings Loaded(const TempDir& dir, const std::string& name, const std::string& text) {
  SourceSettings config;
  std::string error;
  EXPECT_TRUE(config.Load(dir.Write(name, text), &error)) << name << ": " << error;
  return config;
}

TEST(SourceSettingsTest, ReadsEachFormatIntoOneTree) {
  TempDir dir("config");
  struct Case {
    const char* name;
    const char* text;
    const char* key;
    const char* value;
  } cases[] = {
      {"_config.yml", "permalink: :year/:title/\n", "permalink", ":year/:title/"},
      {"hugo.yaml", "UglyURLs: true\n", "uglyurls", "true"},  // names without case
      {"hugo.toml", "contentDir = \"words\"\n", "contentDir", "words"},
      {"hugo.toml", "n = 3\n", "n", "3"},
      {"hugo.toml", "when = 2019-03-05T10:00:00Z\n", "when", "2019-03-05T10:00:00Z"},
      {"hugo.toml", "[params]\nx = 1\n", "params", ""},  // a table is no text
      {"config.json", "{\"staticDir\": \"assets\"}\n", "staticdir", "assets"},
      {"config.json", "{\"a\": 1}\n", "b", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Loaded(dir, c.name, c.text).Text(c.key), c.value) << c.name << ": " << c.text;
  }
  SourceSettings nested = Loaded(dir, "hugo.toml", "[permalinks.page]\nposts = \"/:slug/\"\n");
  EXPECT_TRUE(nested.Get("Permalinks").Get("page").IsMap());
  EXPECT_EQ(nested.Get("permalinks").Get("page").Text("posts"), "/:slug/");
  EXPECT_FALSE(nested.Get("permalinks").Get("posts").IsMap());
}

TEST(SourceSettingsTest, FlagsListsAndEntries) {
  TempDir dir("config");
  SourceSettings config = Loaded(dir, "hugo.yaml",
                                 "a: yes\nb: OFF\nc: \"True\"\nd: maybe\n"
                                 "one: static\nmany: [a, [x], b]\n"
                                 "map: {z: 1, y: [2], x: three}\n");
  struct Case {
    const char* key;
    bool fallback;
    bool value;
  } flags[] = {{"a", false, true},    {"b", true, false},  {"c", false, true},
               {"d", true, true},     {"d", false, false}, {"missing", true, true},
               {"many", false, false}};
  for (const Case& c : flags) EXPECT_EQ(config.Flag(c.key, c.fallback), c.value) << c.key;
  EXPECT_EQ(config.Texts("one"), std::vector<std::string>{"static"});
  EXPECT_EQ(config.Texts("many"), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(config.Texts("missing").empty());
  using Entries = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(config.Get("map").TextEntries(), (Entries{{"z", "1"}, {"x", "three"}}));
  EXPECT_TRUE(config.Get("one").TextEntries().empty());
}

TEST(SourceSettingsTest, AssigningAViewLeavesTheTreeAlone) {
  TempDir dir("config");
  SourceSettings config = Loaded(dir, "hugo.yaml", "first: {a: 1}\nsecond: {a: 2}\n");
  SourceSettings view = config.Get("first");
  view = config.Get("second");
  EXPECT_EQ(view.Text("a"), "2");
  EXPECT_EQ(config.Get("first").Text("a"), "1");
}

TEST(SourceSettingsTest, WhatCannotBeReadNamesTheFileAndLine) {
  TempDir dir("config");
  struct Case {
    const char* name;
    std::string text;
    const char* line;  // ":LINE: " after the file's path, then what is wrong
  } cases[] = {
      {"_config.yml", "title: x\npermalink: [a\nfoo: bar\n", ":3: "},
      {"hugo.toml", "baseURL = \"x\"\n[params\nfoo = 1\n", ":2: "},
      {"config.json", "{\n\"a\": 1,\n\"b\": [\n", ":4: "},
  };
  for (const Case& c : cases) {
    std::string file = dir.Write(c.name, c.text);
    SourceSettings config = Loaded(dir, "kept.yml", "kept: yes\n");
    std::string error;
    EXPECT_FALSE(config.Load(file, &error)) << c.name;
    EXPECT_EQ(error.rfind(file + c.line, 0), 0u) << error;
    EXPECT_GT(error.size(), file.size() + std::string(c.line).size()) << error;
    EXPECT_EQ(config.Text("kept"), "yes") << c.name;  // the tree it had
  }
  SourceSettings config;
  std::string error;
  EXPECT_FALSE(config.Load(dir / "missing.toml", &error));
  EXPECT_EQ(error, (dir / "missing.toml").string() + ": cannot read");
  std::string big = dir.Write("big.yml", std::string(SourceSettings::kMaxBytes + 1, '#'));
  EXPECT_FALSE(config.Load(big, &error));
  EXPECT_EQ(error, big + ": too large to read");
}

}  // namespace
}  // namespace tarn
