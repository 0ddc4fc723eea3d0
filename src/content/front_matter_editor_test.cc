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

}  // namespace
}  // namespace tarn
