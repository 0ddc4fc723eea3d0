#include "workspace/contained_tree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

TEST(ContainedTree, RemovesTheLinksThatLeadOutAndThoseWhereTarnWrites) {
  TempDir dir("tree");
  const fs::path root = dir / "root";
  dir.Write("root/file", "x");
  dir.Write("root/a/b/file", "x");
  dir.Write("root/.git/config", "");
  struct Case {
    const char* link;
    const char* target;
    bool removed;
  };
  const Case cases[] = {
      {"absolute", "/etc", true},
      {"up", "..", true},
      {"a/up", "../../outside", true},
      {"a/b/in", "../../file", false},
      {"here", ".", false},
      {"a/through", "../here/..", true},  // here is root itself
      {"dangling", "a/not-yet", false},
      {"a/dangling-out", "not-yet/../../..", true},
      {"loop", "loop", true},
      {"a/b/folder", "..", false},
      {"public", "a", true},         // where tarn writes
      {".git/hook", "/etc", false},  // not searched
  };
  for (const Case& c : cases) fs::create_symlink(c.target, root / c.link);

  std::vector<std::string> removed;
  std::string error;
  ASSERT_TRUE(ContainedTree::RemoveEscapingLinks(root.string(), &removed, &error)) << error;
  std::string said;
  for (const std::string& line : removed) said += line + "\n";
  for (const Case& c : cases) {
    EXPECT_EQ(!fs::is_symlink(root / c.link), c.removed) << c.link;
    std::string line = std::string(c.link) + " (a link to " + c.target + ") ";
    EXPECT_EQ(said.find(line) != std::string::npos, c.removed) << c.link << "\n" << said;
  }
  EXPECT_NE(said.find("public (a link to a) stands where tarn writes\n"), std::string::npos);
  EXPECT_NE(said.find("up (a link to ..) leads out of the blog\n"), std::string::npos);
}

TEST(ContainedTree, CopiesWhatIsMissingAndNothingThroughALink) {
  TempDir dir("tree");
  dir.Write("from/kept", "theirs");
  dir.Write("from/new", "new");
  dir.Write("from/linked/page", "page");
  dir.Write("from/deep/er/file", "deep");
  fs::create_symlink("new", dir / "from/link");
  dir.Write("to/kept", "mine");
  fs::create_directories(dir / "outside");
  fs::create_directory_symlink(dir / "outside", dir / "to/linked");

  std::string error;
  ASSERT_TRUE(ContainedTree::CopyMissing((dir / "from").string(), (dir / "to").string(), &error))
      << error;
  EXPECT_EQ(dir.Read("to/kept"), "mine");
  EXPECT_EQ(dir.Read("to/new"), "new");
  EXPECT_EQ(dir.Read("to/deep/er/file"), "deep");
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "to/link")));
  EXPECT_TRUE(fs::is_empty(dir / "outside"));

  // A target that is a link itself gets nothing either.
  ASSERT_TRUE(
      ContainedTree::CopyMissing((dir / "from").string(), (dir / "to/linked").string(), &error));
  EXPECT_TRUE(fs::is_empty(dir / "outside"));
}

}  // namespace
}  // namespace tarn
