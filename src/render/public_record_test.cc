#include "render/public_record.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace tarn {
namespace {

TEST(PublicRecordTest, ReadsBackWhatItWroteAndIsNoFileWhenEmpty) {
  TempDir dir{"record"};
  Workspace workspace(dir.str());
  EXPECT_FALSE(PublicRecord::Load(workspace).drafts);  // none yet

  PublicRecord record;
  record.drafts = true;
  record.aliases = {"2019/03/05/hello/index.html", "old/a b.html"};
  std::string error;
  ASSERT_TRUE(record.Save(workspace, &error)) << error;
  PublicRecord read = PublicRecord::Load(workspace);
  EXPECT_TRUE(read.drafts);
  EXPECT_EQ(read.aliases, record.aliases);

  // Lines it does not know are passed over.
  dir.Write(".tarn/public-build", "alias x/index.html\nfuture thing\n\nalias \n");
  read = PublicRecord::Load(workspace);
  EXPECT_FALSE(read.drafts);
  EXPECT_EQ(read.aliases, std::vector<std::string>{"x/index.html"});

  ASSERT_TRUE(PublicRecord().Save(workspace, &error)) << error;
  EXPECT_FALSE(std::filesystem::exists(PublicRecord::PathOf(workspace)));
}

}  // namespace
}  // namespace tarn
