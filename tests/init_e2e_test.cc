// tarn init from a build tree (the skeleton beside build/tarn), as a
// developer or `make run` meets it: into the current folder, and the blog
// it makes builds.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

// Runs command in a shell with settings kept in dir; returns the exit status.
int Shell(const TempDir& dir, const std::string& command) {
  std::string line = "export XDG_CONFIG_HOME='" + dir.str() + "/config'; " + command + " >'" +
                     dir.str() + "/out' 2>'" + dir.str() + "/err'";
  int raw = std::system(line.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(InitCommand, MakesABlogInTheCurrentFolderThatBuilds) {
  TempDir dir("init");
  fs::create_directories(dir / "blog");
  dir.Write("blog/README.md", "mine");
  const std::string tarn = std::string("'") + TARN_BINARY + "'";
  ASSERT_EQ(Shell(dir, "cd '" + dir.str() + "/blog' && " + tarn + " init"), 0) << dir.Read("err");
  EXPECT_EQ(dir.Read("out").rfind("Created a blog in " + dir.str() + "/blog\n", 0), 0u);
  EXPECT_EQ(dir.Read("blog/README.md"), "mine");
  EXPECT_NE(dir.Read("blog/.gitignore").find("/public/\n/.tarn/\n"), std::string::npos);
  // The demo's other posts stay out of a new blog.
  int posts = 0;
  for (const auto& entry : fs::directory_iterator(dir / "blog/_posts"))
    posts += entry.is_regular_file();
  EXPECT_EQ(posts, 1);
  // The first blog made is the one tarn opens from now on.
  EXPECT_NE(dir.Read("config/tarn/settings.ini").find("last=\"" + dir.str() + "/blog\""),
            std::string::npos);

  ASSERT_EQ(Shell(dir, tarn + " -w '" + dir.str() + "/blog' build"), 0) << dir.Read("err");
  EXPECT_TRUE(fs::is_regular_file(dir / "blog/public/index.html"));

  // A second run finds the blog and leaves it alone.
  ASSERT_EQ(Shell(dir, tarn + " init '" + dir.str() + "/blog'"), 1);
  EXPECT_NE(dir.Read("err").find("already holds a blog"), std::string::npos) << dir.Read("err");
}

// A partial blog that a killed tarn init left beside the target goes at the
// next init once it is a day old. A younger one may be a run still going,
// and a link of that name is nobody's stage: both stay, and so does what
// the link points at.
TEST(InitCommand, RemovesPartialBlogsOfKilledRunsOnceADayOld) {
  TempDir dir("init");
  dir.Write(".tarn-init-old123/config/base.json", "{}");
  dir.Write(".tarn-init-new123/config/base.json", "{}");
  dir.Write("elsewhere/keep", "mine");
  fs::create_directory_symlink(dir / "elsewhere", dir / ".tarn-init-lnk123");
  const auto two_days_ago = fs::file_time_type::clock::now() - std::chrono::hours(48);
  for (const char* old : {".tarn-init-old123", "elsewhere"})
    fs::last_write_time(dir / old, two_days_ago);

  const std::string tarn = std::string("'") + TARN_BINARY + "'";
  ASSERT_EQ(Shell(dir, tarn + " init '" + dir.str() + "/blog'"), 0) << dir.Read("err");
  EXPECT_FALSE(fs::exists(dir / ".tarn-init-old123"));
  EXPECT_TRUE(fs::exists(dir / ".tarn-init-new123/config/base.json"));
  EXPECT_TRUE(fs::is_symlink(dir / ".tarn-init-lnk123"));
  EXPECT_EQ(dir.Read("elsewhere/keep"), "mine");
}

}  // namespace
}  // namespace tarn
