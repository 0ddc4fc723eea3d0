#include "preview/site_watcher.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "data/text_file.h"
#include "support/temp_dir.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

// Longer than the default, so that a busy machine does not split the test's
// bursts.
constexpr int kQuietMs = 300;

// Runs a real watcher on a temporary workspace, on a main context of the
// test's own.
class SiteWatcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_ + "/_posts");
    fs::create_directories(root_ + "/themes/lake/assets");
    fs::create_directories(root_ + "/config");
    fs::create_directories(root_ + "/public");
    context_ = g_main_context_new();
    g_main_context_push_thread_default(context_);
    watcher_ = std::make_unique<SiteWatcher>(
        root_, [this](const std::vector<std::string>& c) { calls_.push_back(c); }, kQuietMs);
    std::string error;
    ASSERT_TRUE(watcher_->Start(&error)) << error;
  }
  void TearDown() override {
    watcher_.reset();
    g_main_context_pop_thread_default(context_);
    g_main_context_unref(context_);
  }

  void Put(const std::string& relative, const std::string& text = "x") {
    ASSERT_TRUE(WriteTextFile(root_ + "/" + relative, text)) << relative;
  }

  // Iterates the context until a callback arrived (or a generous guard
  // passed, which only keeps a broken watcher from hanging the suite).
  void WaitForCall() {
    gint64 guard = g_get_monotonic_time() + 20 * G_TIME_SPAN_SECOND;
    size_t before = calls_.size();
    while (calls_.size() == before && g_get_monotonic_time() < guard)
      g_main_context_iteration(context_, TRUE);
  }

  // Iterates for a while with nothing expected to arrive.
  void Settle(int ms = 2 * kQuietMs) {
    gint64 until = g_get_monotonic_time() + ms * 1000;
    while (g_get_monotonic_time() < until) {
      g_main_context_iteration(context_, FALSE);
      g_usleep(5000);
    }
  }

  TempDir temp_{"watch"};
  std::string root_ = temp_.str();
  GMainContext* context_ = nullptr;
  std::unique_ptr<SiteWatcher> watcher_;
  std::vector<std::vector<std::string>> calls_;
};

TEST_F(SiteWatcherTest, ABurstOfSavesIsOneCall) {
  // Atomic saves: each writes a temporary file and renames it over the post.
  for (int i = 0; i < 5; ++i) Put("_posts/Hello.md", "version " + std::to_string(i));
  Put("config/base.json", "{}");
  WaitForCall();
  Settle();
  ASSERT_EQ(calls_.size(), 1u);
  const std::vector<std::string>& changed = calls_[0];
  EXPECT_TRUE(std::is_sorted(changed.begin(), changed.end()));
  EXPECT_EQ(std::count(changed.begin(), changed.end(), "_posts/Hello.md"), 1);
  EXPECT_EQ(std::count(changed.begin(), changed.end(), "config/base.json"), 1);
}

TEST_F(SiteWatcherTest, WatchesFoldersCreatedLaterAndForgetsRemovedOnes) {
  fs::create_directories(root_ + "/themes/lake/assets/img");
  WaitForCall();
  Put("themes/lake/assets/img/logo.svg");
  WaitForCall();
  ASSERT_GE(calls_.size(), 2u);
  EXPECT_EQ(calls_.back(), std::vector<std::string>{"themes/lake/assets/img/logo.svg"});

  // A source folder that did not exist at the start.
  fs::create_directories(root_ + "/template");
  WaitForCall();
  Put("template/index copy.html");
  WaitForCall();
  EXPECT_EQ(calls_.back(), std::vector<std::string>{"template/index copy.html"});

  fs::remove_all(root_ + "/themes/lake/assets/img");
  WaitForCall();
  std::vector<std::string> folders = watcher_->WatchedFolders();
  EXPECT_EQ(std::count(folders.begin(), folders.end(), "themes/lake/assets/img"), 0);
  EXPECT_EQ(std::count(folders.begin(), folders.end(), "template"), 1);
}

TEST_F(SiteWatcherTest, IgnoresOutputAndEditorLeftovers) {
  Put("public/index.html");
  Put("_posts/.Hello.md.swp");
  Put("_posts/Hello.md~");
  Put("other.txt");
  Settle();
  EXPECT_TRUE(calls_.empty());
  Put("_posts/Hello.md");
  WaitForCall();
  ASSERT_EQ(calls_.size(), 1u);
  EXPECT_EQ(calls_[0], std::vector<std::string>{"_posts/Hello.md"});
}

TEST(SiteWatcherRulesTest, WhatCountsAsAChange) {
  EXPECT_TRUE(SiteWatcher::Counts("_posts/Hello.md"));
  EXPECT_TRUE(SiteWatcher::Counts("themes/lake/post.mtpl"));
  EXPECT_TRUE(SiteWatcher::Counts("template/index copy.html"));
  EXPECT_FALSE(SiteWatcher::Counts("template/index.html"));  // written by the desktop program
  EXPECT_FALSE(SiteWatcher::Counts("_posts/.#Hello.md"));
  EXPECT_FALSE(SiteWatcher::Counts("_posts/4913"));
  EXPECT_FALSE(SiteWatcher::Counts("_posts/Hello.md.swo"));
}

TEST(SiteWatcherRulesTest, AMissingRootIsReported) {
  SiteWatcher watcher("/nonexistent/tarn-workspace", nullptr);
  std::string error;
  EXPECT_FALSE(watcher.Start(&error));
  EXPECT_NE(error.find("/nonexistent/tarn-workspace"), std::string::npos);
}

}  // namespace
}  // namespace tarn
