#include "render/output_file.h"

#include <fcntl.h>
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

TEST_F(OutputFileTest, CopiesCarryTheirSourcesTimeAndAreLeftAloneWhileItHolds) {
  std::string source = temp_.Write("source.bin", std::string(200000, 'a'));
  struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 123456789}};
  ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
  // Over nothing, over an older copy (keeping its mode), then unchanged.
  for (int round = 0; round < 3; ++round) {
    if (round == 1) {
      ASSERT_TRUE(WriteOutputFile(path_, "older"));
      ASSERT_EQ(::chmod(path_.c_str(), 0640), 0);
    }
    ino_t before = round == 2 ? Stat().st_ino : 0;
    ASSERT_TRUE(CopyOutputFile(source, path_)) << round;
    EXPECT_EQ(Contents(), std::string(200000, 'a'));
    EXPECT_EQ(Stat().st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(Stat().st_mtim.tv_nsec, 123456789);
    if (round > 0) {
      EXPECT_EQ(Stat().st_mode & 07777, 0640u);
    }
    if (round == 2) {
      EXPECT_EQ(Stat().st_ino, before);  // not copied again
    }
  }
  fs::remove(source);
  // What cannot be copied is said, and nothing is left behind.
  std::string error;
  ::mkfifo(source.c_str(), 0644);
  EXPECT_FALSE(CopyOutputFile(source, path_, &error));
  EXPECT_NE(error.find("source.bin: is not a regular file"), std::string::npos) << error;
  fs::remove(source);
  EXPECT_FALSE(CopyOutputFile(source, path_, &error));
  EXPECT_NE(error.find("source.bin: cannot open"), std::string::npos) << error;
  temp_.Write("source.bin", "new");
  fs::remove(path_);
  fs::create_directories(dir_ / "page.html" / "inside");
  EXPECT_FALSE(CopyOutputFile(source, path_, &error));
  EXPECT_NE(error.find("page.html: cannot replace"), std::string::npos) << error;
  fs::remove(source);
  ExpectAlone();
}

}  // namespace
}  // namespace tarn
