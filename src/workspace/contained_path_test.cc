#include "workspace/contained_path.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "data/text_file.h"
#include "support/temp_dir.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

class ContainedPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ / "_posts");
    posts_ = (dir_ / "_posts").string();
    ASSERT_TRUE(WriteTextFile(posts_ + "/a.md", "a"));
    ASSERT_TRUE(WriteTextFile((dir_ / "secret.md").string(), "secret"));
  }

  bool Resolve(const std::string& name, std::string* path = nullptr) {
    std::string ignored;
    std::string error;
    bool ok = ContainedPath::Resolve(posts_, name, path ? path : &ignored, &error);
    EXPECT_EQ(ok, error.empty()) << error;
    return ok;
  }

  TempDir temp_{"contained"};
  fs::path dir_ = temp_.path();
  std::string posts_;
};

TEST_F(ContainedPathTest, NamesThatLeaveTheFolderAreRefused) {
  for (const char* name : {"", "..", ".", "../secret.md", "/etc/passwd", "sub/a.md", "a\\b.md",
                           ".hidden.md", "a\nb.md", "bad\xff.md"}) {
    EXPECT_FALSE(Resolve(name)) << name;
  }
  EXPECT_FALSE(Resolve(std::string(300, 'x') + ".md"));
}

TEST_F(ContainedPathTest, PlainNamesResolveWhetherOrNotTheFileExists) {
  std::string path;
  EXPECT_TRUE(Resolve("a.md", &path));
  EXPECT_EQ(path, posts_ + "/a.md");
  EXPECT_TRUE(Resolve("新文章 1.md", &path));
  EXPECT_EQ(path, posts_ + "/新文章 1.md");
}

TEST_F(ContainedPathTest, LinksAreFollowedAndMustStayInside) {
  fs::create_symlink(dir_ / "secret.md", dir_ / "_posts" / "out.md");
  fs::create_symlink("a.md", dir_ / "_posts" / "in.md");
  fs::create_symlink(dir_ / "nowhere.md", dir_ / "_posts" / "dangling.md");
  EXPECT_FALSE(Resolve("out.md"));
  EXPECT_TRUE(Resolve("in.md"));
  EXPECT_FALSE(Resolve("dangling.md"));
  // A folder whose name starts like the posts folder is still outside it.
  fs::create_directories(dir_ / "_posts2");
  ASSERT_TRUE(WriteTextFile((dir_ / "_posts2" / "b.md").string(), "b"));
  fs::create_symlink(dir_ / "_posts2" / "b.md", dir_ / "_posts" / "b.md");
  EXPECT_FALSE(Resolve("b.md"));
}

TEST_F(ContainedPathTest, MissingFolderIsRefused) {
  std::string path;
  std::string error;
  EXPECT_FALSE(ContainedPath::Resolve((dir_ / "gone").string(), "a.md", &path, &error));
  EXPECT_NE(error.find("gone"), std::string::npos);
}

TEST(ContainedPathNameTest, NameFromTitleGivesAPlainName) {
  EXPECT_EQ(ContainedPath::NameFromTitle("Hello World"), "Hello World");
  EXPECT_EQ(ContainedPath::NameFromTitle("  a/b\\c\td  "), "a b c d");
  EXPECT_EQ(ContainedPath::NameFromTitle("../..etc"), "etc");
  EXPECT_EQ(ContainedPath::NameFromTitle("你好，世界"), "你好，世界");
  EXPECT_EQ(ContainedPath::NameFromTitle(" / "), "");
  std::string long_name = ContainedPath::NameFromTitle(std::string(150, 'x') +
                                                       "字字字字字字字字字字字字字字字字字字字字");
  EXPECT_LE(long_name.size(), 200u);
  EXPECT_TRUE(ContainedPath::IsPlainName(long_name));
}

}  // namespace
}  // namespace tarn
