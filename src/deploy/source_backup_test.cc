#include "deploy/source_backup.h"

#include <string>

#include "gtest/gtest.h"

namespace tarn {
namespace {

TEST(SourceBackupTest, DescribeChangesCountsPostsApartFromOtherFiles) {
  EXPECT_EQ(SourceBackup::DescribeChanges(""), "");
  EXPECT_EQ(
      SourceBackup::DescribeChanges("M\t_posts/a.md\nM\t_posts/b.md\nA\t\"_posts/c\\td.md\"\n"),
      "2 posts changed, 1 added");
  // A rename counts where it leads; a post folder's name must start the
  // path to count as a post; a name git quoted is still recognised.
  EXPECT_EQ(SourceBackup::DescribeChanges(
                "R100\tdrafts/old.md\t_posts/new.md\nD\tconfig/base.json\nA\tx/_posts/y.md\n"),
            "1 post renamed; 1 other file added, 1 deleted");
  EXPECT_EQ(SourceBackup::DescribeChanges("A\tthemes/t/post.mtpl\n"), "1 file added");
}

}  // namespace
}  // namespace tarn
