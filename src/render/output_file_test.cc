#include "render/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <filesystem>

#include "data/text_file.h"
#include "support/temp_dir.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

class OutputFileTest : public ::testing::Test {
 protected:
  void SetUp() override { path_ = (dir_ / "page.html").string(); }

  struct stat Stat() {
    struct stat st {};
    EXPECT_EQ(::stat(path_.c_str(), &st), 0);
    return st;
  }
  std::string Contents() {
    std::string text;
    EXPECT_TRUE(ReadTextFile(path_, &text));
    return text;
  }
  // Only the page itself: no temporary file left beside it.
  void ExpectAlone() {
    int n = 0;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      ++n;
      EXPECT_EQ(entry.path().filename(), "page.html");
    }
    EXPECT_EQ(n, 1);
  }

  TempDir temp_{"output"};
  fs::path dir_ = temp_.path();
  std::string path_;
};

TEST_F(OutputFileTest, RewritesOnlyWhatChanged) {
  ASSERT_TRUE(WriteOutputFile(path_, "<p>one</p>"));
  EXPECT_EQ(Contents(), "<p>one</p>");
  ASSERT_EQ(::chmod(path_.c_str(), 0640), 0);
  struct utimbuf old = {1000000000, 1000000000};
  ASSERT_EQ(::utime(path_.c_str(), &old), 0);

  // The same bytes: the file is not touched.
  ASSERT_TRUE(WriteOutputFile(path_, "<p>one</p>"));
  EXPECT_EQ(Stat().st_mtime, 1000000000);

  // Same length, other bytes; a prefix; a longer text; empty: all written,
  // keeping the page's mode.
  for (std::string text : {"<p>two</p>", "<p>", "<p>one</p> and more", ""}) {
    ASSERT_TRUE(WriteOutputFile(path_, text));
    EXPECT_EQ(Contents(), text);
    EXPECT_NE(Stat().st_mtime, 1000000000) << text;
    EXPECT_EQ(Stat().st_mode & 07777, 0640u);
    ASSERT_EQ(::utime(path_.c_str(), &old), 0);
  }
  ExpectAlone();
}

TEST_F(OutputFileTest, ReplacesWhatIsInTheWayOrSaysWhy) {
  // A FIFO where the page goes: replaced, without waiting for a writer.
  ASSERT_EQ(::mkfifo(path_.c_str(), 0644), 0);
  ASSERT_TRUE(WriteOutputFile(path_, "<p>page</p>"));
  EXPECT_EQ(Contents(), "<p>page</p>");
  ExpectAlone();

  // A missing folder: refused, named, nothing left behind.
  std::string error;
  EXPECT_FALSE(WriteOutputFile((dir_ / "missing" / "x.html").string(), "x", &error));
  EXPECT_NE(error.find("missing/x.html"), std::string::npos) << error;
  // A folder where the page goes.
  fs::remove(path_);
  fs::create_directories(dir_ / "page.html" / "inside");
  EXPECT_FALSE(WriteOutputFile(path_, "x", &error));
  EXPECT_NE(error.find("page.html: cannot replace"), std::string::npos) << error;
  ExpectAlone();
}

// Copying (what tarn build does with static files, end to end): the mode
// of the file replaced is kept; what cannot be copied is said and leaves
// nothing behind.
TEST_F(OutputFileTest, CopiesKeepTheModeOrSayWhy) {
  std::string source = temp_.Write("source.bin", "new bytes");
  ASSERT_TRUE(WriteOutputFile(path_, "older"));
  ASSERT_EQ(::chmod(path_.c_str(), 0640), 0);
  ASSERT_TRUE(CopyOutputFile(source, path_));
  EXPECT_EQ(Contents(), "new bytes");
  EXPECT_EQ(Stat().st_mode & 07777, 0640u);

  std::string error;
  fs::remove(path_);
  fs::create_directories(dir_ / "page.html" / "inside");
  EXPECT_FALSE(CopyOutputFile(source, path_, &error));
  EXPECT_NE(error.find("page.html: cannot replace"), std::string::npos) << error;
  fs::remove(source);
  ::mkfifo(source.c_str(), 0644);
  EXPECT_FALSE(CopyOutputFile(source, path_, &error));
  EXPECT_NE(error.find("source.bin: is not a regular file"), std::string::npos) << error;
  fs::remove(source);
  ExpectAlone();
}

// What lets a build count an earlier copy as made without copying: the
// same size and time, a plain file in the copy's place.
TEST_F(OutputFileTest, AnEarlierCopyIsKnownByItsSizeAndTime) {
  std::string source = temp_.Write("source.bin", "photo bytes");
  EXPECT_FALSE(IsOutputCopyOf(source, path_));  // no copy yet
  ASSERT_TRUE(CopyOutputFile(source, path_));
  EXPECT_TRUE(IsOutputCopyOf(source, path_));

  struct utimbuf later {};
  later.actime = later.modtime = Stat().st_mtime + 10;
  ASSERT_EQ(::utime(source.c_str(), &later), 0);
  EXPECT_FALSE(IsOutputCopyOf(source, path_));  // the source changed
  ASSERT_TRUE(CopyOutputFile(source, path_));
  EXPECT_TRUE(IsOutputCopyOf(source, path_));

  fs::remove(path_);
  fs::create_symlink(source, path_);  // a link to the source is no copy
  EXPECT_FALSE(IsOutputCopyOf(source, path_));
  EXPECT_FALSE(IsOutputCopyOf(source + ".missing", path_));
}

}  // namespace
}  // namespace tarn
