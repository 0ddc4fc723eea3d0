#include "deploy/publish_log.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "data/text_file.h"
#include "support/temp_dir.h"
#include "workspace/workspace.h"

namespace tarn {
namespace {

TEST(PublishLogTest, AFailedRunIsShownOnceAndANewerOneAgain) {
  TempDir temp("log");
  PublishLog log{Workspace(temp.str())};
  EXPECT_EQ(log.Last(), "");
  EXPECT_EQ(log.UnshownFailure(), "");
  std::string error;
  ASSERT_TRUE(log.Append(100, "published", "a.md", &error)) << error;
  EXPECT_EQ(log.UnshownFailure(), "");
  ASSERT_TRUE(log.Append(200, "failed", "push failed:\nno remote", &error)) << error;
  ASSERT_TRUE(log.Append(300, "nothing due", "", &error)) << error;
  // A later good run does not hide the failure.
  std::string failure = log.UnshownFailure();
  EXPECT_NE(failure.find("\tfailed\tpush failed: no remote"), std::string::npos) << failure;
  EXPECT_NE(log.Last().find("\tnothing due\t"), std::string::npos);
  ASSERT_TRUE(log.MarkShown(failure, &error)) << error;
  EXPECT_EQ(log.UnshownFailure(), "");
  ASSERT_TRUE(log.Append(400, "failed", "build failed", &error)) << error;
  EXPECT_NE(log.UnshownFailure().find("\tfailed\tbuild failed"), std::string::npos);
}

TEST(PublishLogTest, KeepsTheNewestLines) {
  TempDir temp("log");
  PublishLog log(Workspace(temp.str()), 3);
  std::string error;
  for (int run = 1; run <= 5; ++run) {
    ASSERT_TRUE(log.Append(run, "nothing due", std::to_string(run), &error)) << error;
  }
  std::string text;
  ASSERT_TRUE(ReadTextFile(log.path(), &text));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3) << text;
  EXPECT_EQ(text.find("\t1\n"), std::string::npos) << text;
  EXPECT_NE(text.find("nothing due\t3\n"), std::string::npos) << text;
  EXPECT_EQ(log.Last().substr(log.Last().size() - 2), "\t5");
}

}  // namespace
}  // namespace tarn
