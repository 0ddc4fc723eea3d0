#include "convert/remembering_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "support/fake_script_host.h"

namespace tarn {
namespace {

class RememberingHostTest : public ::testing::Test {
 protected:
  RememberingHostTest() {
    auto fake = std::make_unique<FakeScriptHost>();
    fake_ = fake.get();
    host_ = std::make_unique<RememberingHost>(std::move(fake));
  }

  std::string Convert(const std::string& text) {
    std::string result, error;
    EXPECT_TRUE(host_->CallFunction("markToHtml", {text}, &result, &error)) << error;
    return result;
  }
  long Conversions() const {
    return std::count(fake_->calls.begin(), fake_->calls.end(), "markToHtml");
  }

  FakeScriptHost* fake_;
  std::unique_ptr<RememberingHost> host_;
};

TEST_F(RememberingHostTest, ConvertsATextOnceWhileBuildsKeepUsingIt) {
  host_->StartBuild();
  EXPECT_EQ(Convert("a"), "<p>a</p>");
  EXPECT_EQ(Convert("a"), "<p>a</p>");
  EXPECT_EQ(Convert("b"), "<p>b</p>");
  EXPECT_EQ(Conversions(), 2);
  for (int build = 0; build < 4; ++build) {
    host_->StartBuild();
    EXPECT_EQ(Convert("a"), "<p>a</p>");
  }
  EXPECT_EQ(Conversions(), 2);
  // The builds since the first did not use "b": it is converted again.
  EXPECT_EQ(Convert("b"), "<p>b</p>");
  EXPECT_EQ(Conversions(), 3);
}

TEST_F(RememberingHostTest, WhatABuildDidNotUseIsForgotten) {
  host_->StartBuild();
  Convert("a");
  host_->StartBuild();
  Convert("a");  // still known from the build before
  EXPECT_EQ(Conversions(), 1);
  host_->StartBuild();  // a build that does not use "a"
  host_->StartBuild();
  Convert("a");
  EXPECT_EQ(Conversions(), 2);
}

TEST_F(RememberingHostTest, FailuresAndOtherCallsGoToThePageEveryTime) {
  int failures = 0;
  fake_->functions["markToHtml"] = [&](const std::vector<std::string>&, std::string*,
                                       std::string* error) {
    ++failures;
    *error = "boom";
    return false;
  };
  std::string result, error;
  EXPECT_FALSE(host_->CallFunction("markToHtml", {"a"}, &result, &error));
  EXPECT_EQ(error, "boom");
  EXPECT_FALSE(host_->CallFunction("markToHtml", {"a"}, &result, &error));
  EXPECT_EQ(failures, 2);

  EXPECT_TRUE(host_->CallFunction("TplRender", {"T", "D"}, &result, &error));
  EXPECT_TRUE(host_->CallFunction("TplRender", {"T", "D"}, &result, &error));
  EXPECT_EQ(result, "T|D");
  EXPECT_EQ(std::count(fake_->calls.begin(), fake_->calls.end(), "TplRender"), 2);
  EXPECT_TRUE(host_->HasFunction("TplRender"));
  EXPECT_FALSE(host_->HasFunction("nothing"));
  EXPECT_EQ(host_->Origin(), "fake page");
}

}  // namespace
}  // namespace tarn
