#include "render/render_memo.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "data/json_document.h"
#include "render/disk_output_tree.h"
#include "render/public_folder.h"
#include "support/temp_dir.h"
#include "template/template_data.h"
#include "template/template_engine.h"

namespace tarn {
namespace {

// A flat loop (GetCount, GetType, GetText) and a condition (IsTrue) in a
// tree template: every read the engine makes.
constexpr char kFlat[] =
    "<h1>{$title|e}</h1>{-volist name=\"items\" key=\"i\"}[{$i.name}]{-volist/}";
constexpr char kTree[] =
    "{-if name=\"on\"}on{-else/}off{-if/}{-volist name=\"items\" key=\"i\"}"
    "{-if name=\"i.name\"}{$i.name}{-if/}{-volist/}";
constexpr char kData[] = R"({"title":"A","on":true,"items":[{"name":"x"}],"other":1})";

JsonDocument Data(const std::string& json) {
  JsonDocument doc;
  EXPECT_TRUE(doc.Parse(json)) << json;
  return doc;
}

class RenderMemoTest : public ::testing::Test {
 protected:
  // One build of the page a.html from text and data: true when it was
  // expanded (and written), false when the memo kept it.
  bool Build(const std::string& text, const std::string& json, const std::string& memo_path) {
    DiskOutputTree tree((dir_ / "public").string());
    std::string ignored;
    tree.MakeFolders("", &ignored);
    PublicFolder out(&tree, Sink());
    RenderMemo memo(memo_path);
    memo.Load(Sink());
    JsonDocument data = Data(json);
    std::string page;
    bool expanded = memo.Expand(engine_, out, "a.html", text, TemplateData(data), "t", &page);
    if (expanded) {
      EXPECT_TRUE(out.Write("a.html", page));
    }
    EXPECT_TRUE(out.IsGenerated("a.html"));
    EXPECT_TRUE(memo.Save(out, Sink()));
    return expanded;
  }
  bool Build(const std::string& text, const std::string& json) { return Build(text, json, Memo()); }

  std::string Memo() const { return (dir_ / "memo.bin").string(); }
  DiagnosticSink Sink() {
    return [this](const std::string& message) { messages_.push_back(message); };
  }

  TempDir dir_;
  std::vector<std::string> messages_;
  TemplateEngine engine_{"", "", Sink()};
};

// What a second build sees: the same reads keep the page; a read whose
// result changed, or another template, expands it again.
TEST_F(RenderMemoTest, KeepsOnlyWhatReadsTheSame) {
  struct Case {
    const char* what;
    const char* text;
    const char* first_data;
    const char* second_text;
    const char* second_data;
    bool expanded;
  };
  const Case cases[] = {
      {"the same reads", kFlat, kData, kFlat, kData, false},
      {"a value nothing reads", kFlat, kData, kFlat,
       R"({"title":"A","on":true,"items":[{"name":"x"}],"other":2})", false},
      {"a text", kFlat, kData, kFlat, R"({"title":"B","on":true,"items":[{"name":"x"}]})", true},
      {"a text in a loop", kFlat, kData, kFlat, R"({"title":"A","items":[{"name":"y"}]})", true},
      {"a count", kFlat, kData, kFlat, R"({"title":"A","items":[{"name":"x"},{"name":"x"}]})",
       true},
      {"a type alone", kFlat, R"({"title":"A","items":[]})", kFlat, R"({"title":"A","items":{}})",
       true},
      {"a truth", kTree, kData, kTree, R"({"title":"A","on":false,"items":[{"name":"x"}]})", true},
      {"a truth inside a loop", kTree, kData, kTree,
       R"({"title":"A","on":true,"items":[{"name":""}]})", true},
      {"the same reads, tree", kTree, kData, kTree, kData, false},
      {"the template", kFlat, kData, "<h2>{$title|e}</h2>", kData, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(Memo());
    EXPECT_TRUE(Build(c.text, c.first_data));
    EXPECT_EQ(Build(c.second_text, c.second_data), c.expanded);
  }
  EXPECT_TRUE(messages_.empty());
}

// The memo vouches for the file it recorded only: one changed or removed
// since is written again, as is every page of a memo that cannot be
// trusted; a memo of no path keeps nothing.
TEST_F(RenderMemoTest, AnythingUntrustedIsExpanded) {
  struct Case {
    const char* what;
    void (*spoil)(const std::filesystem::path& dir);
    bool reported;
  };
  const Case cases[] = {
      {"the page edited",
       [](const std::filesystem::path& dir) {
         std::filesystem::resize_file(dir / "public/a.html", 3);
       },
       false},
      {"the page removed",
       [](const std::filesystem::path& dir) { std::filesystem::remove(dir / "public/a.html"); },
       false},
      {"the memo cut short",
       [](const std::filesystem::path& dir) {
         std::filesystem::resize_file(dir / "memo.bin",
                                      std::filesystem::file_size(dir / "memo.bin") - 1);
       },
       true},
      {"the memo's body damaged",
       [](const std::filesystem::path& dir) {
         auto size = std::filesystem::file_size(dir / "memo.bin");
         std::filesystem::resize_file(dir / "memo.bin", size - 20);
         std::filesystem::resize_file(dir / "memo.bin", size);
       },
       true},
      {"another file in the memo's place",
       [](const std::filesystem::path& dir) {
         std::filesystem::remove(dir / "memo.bin");
         std::filesystem::copy_file(dir / "public/a.html", dir / "memo.bin");
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(Memo());
    messages_.clear();
    EXPECT_TRUE(Build(kFlat, kData));
    c.spoil(dir_.path());
    EXPECT_TRUE(Build(kFlat, kData));
    EXPECT_EQ(messages_.size(), c.reported ? 1u : 0u);
    EXPECT_FALSE(Build(kFlat, kData)) << "the memo is whole again";
  }
  EXPECT_TRUE(Build(kFlat, kData, ""));
  EXPECT_TRUE(Build(kFlat, kData, ""));

  // A build that ends without Save (it failed) leaves no memo behind.
  EXPECT_FALSE(Build(kFlat, kData));
  {
    RenderMemo unsaved(Memo());
    EXPECT_EQ(unsaved.Load(Sink()), RenderMemo::LoadResult::kLoaded);
  }
  EXPECT_FALSE(std::filesystem::exists(Memo()));
  EXPECT_TRUE(Build(kFlat, kData));
}

// A render that warns, or renders empty, is expanded by every build, so
// that every build reports it; so is a file a build renders twice.
TEST_F(RenderMemoTest, NeverKeepsWhatMustBeSaidOrWritten) {
  for (const char* text : {"{-volist name=\"missing\" key=\"i\"}{-volist/}x", ""}) {
    SCOPED_TRACE(text);
    std::filesystem::remove(Memo());
    EXPECT_TRUE(Build(text, kData));
    EXPECT_TRUE(Build(text, kData));
  }
  EXPECT_EQ(engine_.warnings(), 2);

  DiskOutputTree tree((dir_ / "public").string());
  PublicFolder out(&tree, Sink());
  RenderMemo memo(Memo());
  memo.Load(Sink());
  JsonDocument data = Data(kData);
  std::string page;
  EXPECT_TRUE(Build(kFlat, kData));
  EXPECT_FALSE(Build(kFlat, kData));
  memo.Load(Sink());
  EXPECT_FALSE(memo.Expand(engine_, out, "a.html", kFlat, TemplateData(data), "t", &page));
  EXPECT_TRUE(memo.Expand(engine_, out, "a.html", kFlat, TemplateData(data), "t", &page));
}

}  // namespace
}  // namespace tarn
