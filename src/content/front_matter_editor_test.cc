#include "content/front_matter_editor.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

std::string Edited(const std::string& text, const std::vector<std::string>& aliases,
                   bool draft = false) {
  FrontMatterEditor editor(text);
  if (draft) editor.AddScalarIfMissing("draft", "true");
  if (!aliases.empty()) editor.AddToList("aliases", aliases);
  std::string out = "untouched";
  std::string error;
  EXPECT_TRUE(editor.Apply(&out, &error)) << error;
  return out;
}

TEST(FrontMatterEditorTest, YamlGetsLinesBeforeItsEndAndKeepsEverythingElse) {
  const std::string body = "Body with --- and\n+++ lines.\n";
  const std::string yaml =
      "---\ntitle:  \"Hello\"   # a comment\ntags: [a, b]\ndescription: |\n  two\n  lines\n---\n";
  EXPECT_EQ(Edited(yaml + body, {"/2019/03/05/hello/"}, true),
            "---\ntitle:  \"Hello\"   # a comment\ntags: [a, b]\ndescription: |\n  two\n  lines\n"
            "draft: true\naliases:\n  - \"/2019/03/05/hello/\"\n---\n" +
                body);
  // "..." closes YAML too; CR LF stays CR LF.
  EXPECT_EQ(Edited("---\r\ntitle: x\r\n...\r\nBody\r\n", {"/x \"q\"/"}),
            "---\r\ntitle: x\r\naliases:\r\n  - \"/x \\\"q\\\"/\"\r\n...\r\nBody\r\n");
  // A key it has already is not added twice.
  EXPECT_EQ(Edited("---\ndraft: false\n---\nB\n", {}, true), "---\ndraft: false\n---\nB\n");
}

TEST(FrontMatterEditorTest, ExistingListsAreExtendedInPlace) {
  EXPECT_EQ(Edited("---\ntitle: T\naliases: [\"/old/\"]\nslug: s\n---\nB", {"/new/"}),
            "---\ntitle: T\naliases:\n  - \"/old/\"\n  - \"/new/\"\nslug: s\n---\nB");
  EXPECT_EQ(Edited("---\naliases:\n- /old/\n- /older/\n# kept\nslug: s\n---\n", {"/old/", "/n/"}),
            "---\naliases:\n  - \"/old/\"\n  - \"/older/\"\n  - \"/n/\"\n# kept\nslug: s\n---\n");
  // Nothing new: the text comes back as it was.
  const std::string same = "---\naliases: /old/\n---\n";
  EXPECT_EQ(Edited(same, {"/old/"}), same);
}

TEST(FrontMatterEditorTest, TomlGetsKeysAtTheTopBeforeAnyTable) {
  EXPECT_EQ(Edited("+++\ntitle = \"T\"\n\n[params]\n  mood = \"ok\"\n+++\nBody\n", {"/a/"}, true),
            "+++\ndraft = true\naliases = [\"/a/\"]\ntitle = \"T\"\n\n[params]\n"
            "  mood = \"ok\"\n+++\nBody\n");
  EXPECT_EQ(Edited("+++\ntitle = \"T\"\naliases = [\n  \"/old/\",\n]\ndate = 2020-01-01\n+++\n",
                   {"/new/"}),
            "+++\ntitle = \"T\"\naliases = [\"/old/\", \"/new/\"]\ndate = 2020-01-01\n+++\n");
}

TEST(FrontMatterEditorTest, PostsWithoutFrontMatterGetANewBlock) {
  EXPECT_EQ(Edited("Just text.\r\n", {"/p/"}),
            "---\r\naliases:\r\n  - \"/p/\"\r\n---\r\nJust text.\r\n");
  // An unclosed block is not front matter: it stays in the body.
  EXPECT_EQ(Edited("---\ntitle: open\n", {}, true), "---\ndraft: true\n---\n---\ntitle: open\n");
}

TEST(FrontMatterEditorTest, RefusesWhatItCannotEditSafely) {
  for (const char* text : {"---\ntitle: [unclosed\n---\n", "+++\ntitle = \n+++\n",
                           "{\"title\": \"json\"}\n", "---\naliases:\n  nested: map\n---\n"}) {
    FrontMatterEditor editor(text);
    editor.AddToList("aliases", {"/a/"});
    std::string out = "untouched";
    std::string error;
    EXPECT_FALSE(editor.Apply(&out, &error)) << text;
    EXPECT_EQ(out, "untouched");
    EXPECT_FALSE(error.empty());
  }
  std::string huge =
      "---\nx: \"" + std::string(FrontMatterEditor::kMaxBlockBytes, 'a') + "\"\n---\n";
  FrontMatterEditor editor(huge);
  editor.AddScalarIfMissing("draft", "true");
  std::string out;
  std::string error;
  EXPECT_FALSE(editor.Apply(&out, &error));
  EXPECT_NE(error.find("larger"), std::string::npos);
}

// The text a form's settings make of a post: tags, draft, a cleared
// description and a new title; every other line as it was.
std::string Set(const std::string& text, std::string* error = nullptr) {
  FrontMatterEditor editor(text);
  editor.SetList("tags", {"lake", "湖 \"north\""});
  editor.SetLiteral("draft", "true");
  editor.SetText("description", "");
  editor.SetText("title", "New: title");
  std::string out = "untouched";
  std::string ignored;
  bool ok = editor.Apply(&out, error ? error : &ignored);
  if (!error) {
    EXPECT_TRUE(ok) << ignored;
  }
  return out;
}

TEST(FrontMatterEditorTest, SettingReplacesKeysInPlaceAndKeepsEveryOtherLine) {
  const std::string tags = "tags:\n  - \"lake\"\n  - \"湖 \\\"north\\\"\"\n";
  const std::string crlf_tags = "tags:\r\n  - \"lake\"\r\n  - \"湖 \\\"north\\\"\"\r\n";
  const std::pair<std::string, std::string> cases[] = {
      // block list, comments, a folded description and the order kept
      {"---\n# top\ntitle: Old  # old\ntags:\n- a\n- b\ndate: 2020-01-02 # when\n"
       "description: >\n  two\n  lines\ndraft: false\nslug: s # mine\n---\nBody\n",
       "---\n# top\ntitle: \"New: title\"\n" + tags +
           "date: 2020-01-02 # when\ndraft: true\nslug: s # mine\n---\nBody\n"},
      // flow list and missing keys; CR LF stays
      {"---\r\ntags: [a, b]\r\ncover: c.png\r\n---\r\nB\r\n",
       "---\r\n" + crlf_tags +
           "cover: c.png\r\ndraft: true\r\ntitle: \"New: title\"\r\n---\r\nB\r\n"},
      // no front matter: a new block
      {"Just text.\n", "---\n" + tags + "draft: true\ntitle: \"New: title\"\n---\nJust text.\n"},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(Set(text), want) << text;
}

TEST(FrontMatterEditorTest, SettingRefusesTomlAndWhatItCannotKeep) {
  for (const char* text : {"+++\ntitle = \"T\"\n+++\n", "---\ntitle: [unclosed\n---\n",
                           // an anchor another key refers to would go with the key
                           "---\ntitle: &t Old\nslug: *t\n---\n"}) {
    std::string error;
    EXPECT_EQ(Set(text, &error), "untouched") << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

}  // namespace
}  // namespace tarn
