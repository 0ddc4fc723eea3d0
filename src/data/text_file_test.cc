#include "data/text_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

namespace tarn {
namespace {

class TextFileTest : public ::testing::Test {
 protected:
  // A test may take the folder's rights away; give them back to clean up.
  void TearDown() override {
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all);
  }
  TempDir temp_{"text"};
  std::filesystem::path dir_ = temp_.path();
};

TEST_F(TextFileTest, BytesRoundTripUnchanged) {
  // Percent signs, a byte-order mark, CR LF, an emoji and invalid UTF-8 all
  // come back exactly as written.
  std::string bytes = "\xEF\xBB\xBF%41 100% \r\n\xF0\x9F\x98\x80 \xFF\xFE end";
  std::string path = (dir_ / "a.md").string();
  ASSERT_TRUE(WriteTextFile(path, bytes));
  std::string read;
  ASSERT_TRUE(ReadTextFile(path, &read));
  EXPECT_EQ(read, bytes);
}

// Both ways of writing replace a file in place: its text changes, its
// permissions stay, and no temporary file is left beside it.
TEST_F(TextFileTest, ReplacingKeepsPermissionsAndLeavesNoTemporaryFiles) {
  for (WriteMode mode : {WriteMode::kDurable, WriteMode::kRegenerable}) {
    SCOPED_TRACE(mode == WriteMode::kDurable ? "durable" : "regenerable");
    std::string path = (dir_ / "page.html").string();
    std::filesystem::remove(path);
    ASSERT_TRUE(WriteTextFile(path, "old", nullptr, mode));
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(WriteTextFile(path, "new", nullptr, mode));
    std::string read;
    ASSERT_TRUE(ReadTextFile(path, &read));
    EXPECT_EQ(read, "new");
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    int entries = 0;
    for (auto& e : std::filesystem::directory_iterator(dir_)) (void)e, ++entries;
    EXPECT_EQ(entries, 1);
  }
}

TEST_F(TextFileTest, RegeneratedOutputNamesTheFileItCannotWrite) {
  std::string error;
  EXPECT_FALSE(
      WriteTextFile((dir_ / "no" / "x.html").string(), "x", &error, WriteMode::kRegenerable));
  EXPECT_NE(error.find("x.html"), std::string::npos);
}

TEST_F(TextFileTest, CreateNeverReplacesAndLeavesNoTemporaryFiles) {
  std::string path = (dir_ / "post.md").string();
  ASSERT_TRUE(CreateTextFile(path, "first"));
  std::string error;
  EXPECT_FALSE(CreateTextFile(path, "second", &error));
  EXPECT_EQ(error, path + ": exists already");
  std::string read;
  ASSERT_TRUE(ReadTextFile(path, &read));
  EXPECT_EQ(read, "first");
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir_)) (void)e, ++entries;
  EXPECT_EQ(entries, 1);
  EXPECT_FALSE(CreateTextFile((dir_ / "no" / "x.md").string(), "x", &error));
  EXPECT_NE(error.find("x.md"), std::string::npos);
}

TEST_F(TextFileTest, FailuresNameTheFileAndKeepTheOldContents) {
  std::string error;
  std::string read = "stale";
  EXPECT_FALSE(ReadTextFile((dir_ / "missing.md").string(), &read, &error));
  EXPECT_TRUE(read.empty());
  EXPECT_NE(error.find("missing.md"), std::string::npos);

  EXPECT_FALSE(ReadTextFile(dir_.string(), &read, &error));
  EXPECT_NE(error.find("folder"), std::string::npos);

  EXPECT_FALSE(WriteTextFile((dir_ / "no" / "such" / "x.html").string(), "x", &error));
  EXPECT_NE(error.find("x.html"), std::string::npos);

  if (::geteuid() != 0) {  // root writes anywhere
    std::string path = (dir_ / "keep.md").string();
    ASSERT_TRUE(WriteTextFile(path, "keep"));
    ::chmod(dir_.c_str(), 0555);
    EXPECT_FALSE(WriteTextFile(path, "lost", &error));
    ::chmod(dir_.c_str(), 0755);
    ASSERT_TRUE(ReadTextFile(path, &read));
    EXPECT_EQ(read, "keep");
  }
}

}  // namespace
}  // namespace tarn
