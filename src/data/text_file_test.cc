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
  void TearDown() override { std::filesystem::permissions(dir_, std::filesystem::perms::owner_all); }
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

TEST_F(TextFileTest, ReplacesAtomicallyAndLeavesNoTemporaryFiles) {
  std::string path = (dir_ / "page.html").string();
  ASSERT_TRUE(WriteTextFile(path, "old"));
  ::chmod(path.c_str(), 0640);
  ASSERT_TRUE(WriteTextFile(path, "new"));
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

TEST_F(TextFileTest, RegeneratedOutputIsCreatedOrReplacedWithoutLeftovers) {
  std::string path = (dir_ / "index.html").string();
  ASSERT_TRUE(WriteTextFile(path, "first", nullptr, WriteMode::kRegenerable));
  ::chmod(path.c_str(), 0640);
  ASSERT_TRUE(WriteTextFile(path, "second", nullptr, WriteMode::kRegenerable));
  std::string read;
  ASSERT_TRUE(ReadTextFile(path, &read));
  EXPECT_EQ(read, "second");
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir_)) (void)e, ++entries;
  EXPECT_EQ(entries, 1);
  std::string error;
  EXPECT_FALSE(WriteTextFile((dir_ / "no" / "x.html").string(), "x", &error,
                             WriteMode::kRegenerable));
  EXPECT_NE(error.find("x.html"), std::string::npos);
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

TEST(TextConversion, Utf8AndUtf16) {
  EXPECT_EQ(Utf8ToUtf16("a中\xF0\x9F\x98\x80"), u"a中\U0001F600");
  EXPECT_EQ(Utf16ToUtf8(u"a中\U0001F600"), "a中\xF0\x9F\x98\x80");
  // Invalid bytes, overlong forms, encoded surrogates and truncated sequences
  // each become U+FFFD; lone surrogates likewise on the way back.
  EXPECT_EQ(Utf8ToUtf16("\xFF" "a\xC0\xAF" "b\xED\xA0\x80" "c\xE4\xB8"),
            u"\uFFFDa\uFFFD\uFFFDb\uFFFD\uFFFD\uFFFDc\uFFFD\uFFFD");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
}

TEST(TextConversion, CutAtWidthCountsWideCharactersAsTwo) {
  EXPECT_EQ(CutAtWidth("abcdef", 4), "abcd");
  EXPECT_EQ(CutAtWidth("ab中文", 4), "ab中");
  EXPECT_EQ(CutAtWidth("ab中文", 5), "ab中");  // never half a character
  EXPECT_EQ(CutAtWidth("ab中文", 6), "ab中文");
  EXPECT_EQ(CutAtWidth("", 100), "");
}

}  // namespace
}  // namespace tarn
