#include "workspace/workspace_creator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "data/text_file.h"
#include "support/temp_dir.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

// A source that writes a small blog, or fails or stops half-way.
class FakeSource : public SkeletonSource {
 public:
  enum class Mode { kComplete, kFails, kNoTemplate };
  explicit FakeSource(Mode mode = Mode::kComplete) : mode_(mode) {}

  std::string Describe() const override { return "the fake blog"; }
  bool Fill(const std::string& stage, std::string* error) override {
    fs::create_directories(stage + "/config");
    WriteTextFile(stage + "/config/base.json", "{}");
    fs::create_directories(stage + "/_posts");
    WriteTextFile(stage + "/_posts/Hello.md", "hi");
    WriteTextFile(stage + "/.gitignore", "/public/\n");
    if (mode_ == Mode::kFails) {
      *error = "network gone";
      return false;
    }
    if (mode_ != Mode::kNoTemplate) fs::create_directories(stage + "/template");
    return true;
  }

 private:
  Mode mode_;
};

class WorkspaceCreatorTest : public ::testing::Test {
 protected:
  // The names in folder, sorted, so a test sees leftovers too.
  std::string Listing(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
      names.insert(entry.path().filename().string());
    std::string out;
    for (const std::string& name : names) out += name + " ";
    return out;
  }

  TempDir dir_{"creator"};
  const std::string tmp_ = dir_.str();
};

TEST_F(WorkspaceCreatorTest, MakesTheWholeBlogInANewOrAnExistingFolder) {
  FakeSource source;
  std::string error;
  ASSERT_TRUE(WorkspaceCreator::Create(tmp_ + "/new/", source, &error)) << error;
  EXPECT_EQ(Listing(tmp_ + "/new"), ".gitignore _posts config template ");
  EXPECT_EQ(Listing(tmp_), "new ");  // no stage left beside it

  // An existing folder keeps what it held (a clone with its README).
  fs::create_directories(tmp_ + "/clone/.git");
  ASSERT_TRUE(WriteTextFile(tmp_ + "/clone/README.md", "mine"));
  ASSERT_TRUE(WorkspaceCreator::Create(tmp_ + "/clone", source, &error)) << error;
  EXPECT_EQ(Listing(tmp_ + "/clone"), ".git .gitignore README.md _posts config template ");
  std::string readme;
  ReadTextFile(tmp_ + "/clone/README.md", &readme);
  EXPECT_EQ(readme, "mine");
}

TEST_F(WorkspaceCreatorTest, RefusesABlogAFileInTheWayAndAMissingParent) {
  FakeSource source;
  std::string error;
  fs::create_directories(tmp_ + "/blog/_posts");
  EXPECT_FALSE(WorkspaceCreator::Create(tmp_ + "/blog", source, &error));
  EXPECT_NE(error.find("already holds a blog (_posts/"), std::string::npos) << error;
  EXPECT_EQ(Listing(tmp_ + "/blog"), "_posts ");

  // One entry of the new blog is there already: nothing at all is moved.
  fs::create_directories(tmp_ + "/half");
  ASSERT_TRUE(WriteTextFile(tmp_ + "/half/.gitignore", "mine"));
  EXPECT_FALSE(WorkspaceCreator::Create(tmp_ + "/half", source, &error));
  EXPECT_NE(error.find(tmp_ + "/half/.gitignore: already there"), std::string::npos) << error;
  EXPECT_EQ(Listing(tmp_ + "/half"), ".gitignore ");

  ASSERT_TRUE(WriteTextFile(tmp_ + "/file", "x"));
  EXPECT_FALSE(WorkspaceCreator::Create(tmp_ + "/file", source, &error));
  EXPECT_NE(error.find("not a folder"), std::string::npos) << error;
  EXPECT_FALSE(WorkspaceCreator::Create(tmp_ + "/no/such/blog", source, &error));
  EXPECT_NE(error.find(tmp_ + "/no/such: no such folder"), std::string::npos) << error;
}

TEST_F(WorkspaceCreatorTest, AFailedOrIncompleteSourceLeavesNothing) {
  std::string error;
  FakeSource fails(FakeSource::Mode::kFails);
  EXPECT_FALSE(WorkspaceCreator::Create(tmp_ + "/a", fails, &error));
  EXPECT_EQ(error, "network gone");
  FakeSource incomplete(FakeSource::Mode::kNoTemplate);
  fs::create_directories(tmp_ + "/b");
  EXPECT_FALSE(WorkspaceCreator::Create(tmp_ + "/b", incomplete, &error));
  EXPECT_NE(error.find("the fake blog is no complete blog"), std::string::npos) << error;
  EXPECT_EQ(Listing(tmp_), "b ");
  EXPECT_EQ(Listing(tmp_ + "/b"), "");
}

}  // namespace
}  // namespace tarn
