#include "preview/preview_builder.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "data/text_file.h"
#include "support/temp_dir.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

// A fake build: writes a version file into public/, fails when told to, and
// can be held at its start to let requests pile up.
class PreviewBuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tmp_ = temp_.str();
    ws_ = tmp_ + "/ws";
    public_ = ws_ + "/public";
    stage_ = tmp_ + "/stage";
    fs::create_directories(public_ + "/.git");
    fs::create_directories(public_ + "/articles");
    fs::create_directories(ws_ + "/config");
    fs::create_directories(stage_);
    ASSERT_TRUE(WriteTextFile(public_ + "/.git/HEAD", "ref"));
    ASSERT_TRUE(WriteTextFile(public_ + "/CNAME", "blog.example.org"));
    ASSERT_TRUE(WriteTextFile(public_ + "/articles/Gone.html", "old"));
    ASSERT_TRUE(WriteTextFile(ws_ + "/config/base.json", "{\"v\": 1}"));
    context_ = g_main_context_new();
    g_main_context_push_thread_default(context_);
  }
  void TearDown() override {
    builder_.reset();
    g_main_context_pop_thread_default(context_);
    g_main_context_unref(context_);
  }

  void Start() {
    // Reads the configuration through the stage's link and writes the stage's
    // public/, as the real build does; drops one stale page.
    auto build = [this](const std::string& root, const std::vector<std::string>& changed,
                        const DiagnosticSink& sink) {
      ++entered_;
      while (hold_) g_usleep(1000);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        builds_.push_back(changed);
      }
      if (fail_) {
        sink("themes/lake/index.mtpl:3: unclosed block");
        return false;
      }
      int n = static_cast<int>(++version_);
      std::string config;
      ReadTextFile(root + "/config/base.json", &config);
      fs::remove(root + "/public/articles/Gone.html");
      return WriteTextFile(root + "/public/version.txt", std::to_string(n)) &&
             WriteTextFile(root + "/public/config.json", config);
    };
    builder_ = std::make_unique<PreviewBuilder>(
        ws_, stage_, build,
        [this](const PreviewBuilder::Result& result) { results_.push_back(result); });
  }

  // The next build's result; with its public/ update too when the build
  // was good (then *update gets that).
  PreviewBuilder::Result WaitForResult(PreviewBuilder::Result* update = nullptr) {
    PreviewBuilder::Result result = Next();
    EXPECT_FALSE(result.public_updated);
    if (result.ok) {
      PreviewBuilder::Result second = Next();
      EXPECT_TRUE(second.public_updated);
      EXPECT_EQ(second.number, result.number);
      if (update) *update = second;
    }
    return result;
  }
  PreviewBuilder::Result Next() {
    gint64 guard = g_get_monotonic_time() + 20 * G_TIME_SPAN_SECOND;
    while (taken_ == results_.size() && g_get_monotonic_time() < guard)
      g_main_context_iteration(context_, FALSE), g_usleep(1000);
    if (taken_ == results_.size()) {
      ADD_FAILURE() << "no build result";
      return {};
    }
    return results_[taken_++];
  }

  std::string Read(const std::string& path) {
    std::string text;
    ReadTextFile(path, &text);
    return text;
  }

  TempDir temp_{"preview"};
  std::string tmp_, ws_, public_, stage_;
  GMainContext* context_ = nullptr;
  std::unique_ptr<PreviewBuilder> builder_;
  std::vector<PreviewBuilder::Result> results_;
  size_t taken_ = 0;
  std::mutex mutex_;
  std::vector<std::vector<std::string>> builds_;
  std::atomic<bool> hold_{false};
  std::atomic<bool> fail_{false};
  std::atomic<int> version_{0};
  std::atomic<int> entered_{0};
};

TEST_F(PreviewBuilderTest, AFailedBuildKeepsTheLastGoodCopy) {
  Start();
  builder_->Request({});
  PreviewBuilder::Result update;
  PreviewBuilder::Result first = WaitForResult(&update);
  ASSERT_TRUE(first.ok) << first.messages;
  EXPECT_EQ(first.number, 1);
  EXPECT_EQ(Read(first.snapshot + "/version.txt"), "1");
  EXPECT_EQ(Read(first.snapshot + "/config.json"), "{\"v\": 1}");
  EXPECT_EQ(Read(first.snapshot + "/CNAME"), "blog.example.org");  // the blogger's own file
  EXPECT_FALSE(fs::exists(first.snapshot + "/.git"));  // the deploy repository stays out
  // public/ gets what changed, and loses the page the build removed.
  EXPECT_TRUE(update.ok) << update.messages;
  EXPECT_EQ(update.written, 3);
  EXPECT_EQ(Read(public_ + "/version.txt"), "1");
  EXPECT_FALSE(fs::exists(public_ + "/articles/Gone.html"));
  EXPECT_EQ(Read(public_ + "/CNAME"), "blog.example.org");
  EXPECT_EQ(Read(public_ + "/.git/HEAD"), "ref");

  fail_ = true;
  builder_->Request({"themes/lake/index.mtpl"});
  PreviewBuilder::Result failed = WaitForResult();
  EXPECT_FALSE(failed.ok);
  EXPECT_EQ(failed.messages, "themes/lake/index.mtpl:3: unclosed block");
  EXPECT_TRUE(failed.snapshot.empty());
  EXPECT_EQ(Read(first.snapshot + "/version.txt"), "1");
  EXPECT_EQ(Read(public_ + "/version.txt"), "1");

  fail_ = false;
  builder_->Request({"themes/lake/index.mtpl"});
  PreviewBuilder::Result fixed = WaitForResult(&update);
  ASSERT_TRUE(fixed.ok);
  EXPECT_EQ(Read(fixed.snapshot + "/version.txt"), "2");
  EXPECT_EQ(update.written, 1);  // only the file whose text changed
  EXPECT_EQ(Read(public_ + "/version.txt"), "2");
  // The copy no longer served goes (on the builder's thread, soon after).
  builder_->Request({"_posts/a.md"});
  WaitForResult();
  EXPECT_FALSE(fs::exists(first.snapshot));

  builder_.reset();
  EXPECT_FALSE(fs::exists(stage_));
  EXPECT_TRUE(fs::exists(ws_ + "/config/base.json"));  // links removed, not what they lead to
}

TEST_F(PreviewBuilderTest, RequestsDuringABuildBecomeOneMoreBuild) {
  hold_ = true;
  Start();
  builder_->Request({});
  gint64 guard = g_get_monotonic_time() + 20 * G_TIME_SPAN_SECOND;
  while (entered_ == 0 && g_get_monotonic_time() < guard) g_usleep(1000);
  builder_->Request({"_posts/b.md"});
  builder_->Request({"_posts/a.md", "_posts/b.md"});
  builder_->Request({"config/base.json"});
  hold_ = false;
  // The first build's update of public/ gives way to the waiting build,
  // whose own update follows it.
  PreviewBuilder::Result first = Next();
  EXPECT_EQ(first.number, 1);
  EXPECT_FALSE(first.public_updated);
  PreviewBuilder::Result second = Next();
  EXPECT_EQ(second.number, 2);
  EXPECT_FALSE(second.public_updated);
  PreviewBuilder::Result update = Next();
  EXPECT_EQ(update.number, 2);
  EXPECT_TRUE(update.public_updated);
  EXPECT_EQ(Read(public_ + "/version.txt"), "2");
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ASSERT_EQ(builds_.size(), 2u);
    EXPECT_EQ(builds_[1],
              (std::vector<std::string>{"_posts/a.md", "_posts/b.md", "config/base.json"}));
  }
  EXPECT_EQ(Read(results_[results_.size() - 2].snapshot + "/version.txt"), "2");
}

TEST_F(PreviewBuilderTest, ResultsAfterTheBuilderEndedAreDropped) {
  Start();
  builder_->Request({});
  // Let the build finish and queue its result, then end the builder before
  // the main context runs it.
  gint64 guard = g_get_monotonic_time() + 20 * G_TIME_SPAN_SECOND;
  while (version_ == 0 && g_get_monotonic_time() < guard) g_usleep(1000);
  builder_.reset();
  while (g_main_context_iteration(context_, FALSE)) {
  }
  EXPECT_TRUE(results_.empty());
}

TEST(PreviewBuilderCopyTest, CopiesTheSiteWithLinksAsLinks) {
  TempDir temp("copy");
  const std::string tmp = temp.str();
  fs::create_directories(tmp + "/from/articles/.git");
  ASSERT_TRUE(WriteTextFile(tmp + "/from/articles/a.html", "<p>a</p>"));
  ASSERT_TRUE(WriteTextFile(tmp + "/from/articles/.git/keep", "nested .git is site content"));
  ASSERT_TRUE(WriteTextFile(tmp + "/secret", "outside"));
  fs::create_symlink(tmp + "/secret", tmp + "/from/leak");
  fs::create_symlink("articles/a.html", tmp + "/from/latest.html");

  std::string error;
  ASSERT_TRUE(PreviewBuilder::CopySite(tmp + "/from", tmp + "/to", &error)) << error;
  std::string text;
  EXPECT_TRUE(ReadTextFile(tmp + "/to/articles/a.html", &text));
  EXPECT_EQ(text, "<p>a</p>");
  EXPECT_TRUE(fs::exists(tmp + "/to/articles/.git/keep"));
  ASSERT_TRUE(fs::is_symlink(tmp + "/to/leak"));
  EXPECT_EQ(fs::read_symlink(tmp + "/to/leak"), tmp + "/secret");
  ASSERT_TRUE(fs::is_symlink(tmp + "/to/latest.html"));
  EXPECT_TRUE(ReadTextFile(tmp + "/to/latest.html", &text));

  // The target must be new; a missing source is reported.
  EXPECT_FALSE(PreviewBuilder::CopySite(tmp + "/from", tmp + "/to", &error));
  EXPECT_FALSE(PreviewBuilder::CopySite(tmp + "/none", tmp + "/to2", &error));
  EXPECT_NE(error.find(tmp + "/none"), std::string::npos);
}

}  // namespace
}  // namespace tarn
