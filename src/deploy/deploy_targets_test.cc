#include "deploy/deploy_targets.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

JsonDocument Settings(const char* text) {
  JsonDocument doc;
  EXPECT_TRUE(doc.Parse(text)) << text;
  return doc;
}

// The list as base.json gives it: names given or made from the type, the
// deploy URL's git target without system.deploy, and entries that cannot be
// used kept (refused) so the others still run.
TEST(DeployTargets, BuildsTheListFromTheSettings) {
  GitDeployer git;
  const struct {
    const char* settings;
    std::vector<std::string> names;
  } kCases[] = {
      {R"({"system":{}})", {}},
      {R"({"system":{"deployUrl":"https://h/r.git"}})", {"git"}},
      {R"({"system":{"deployUrl":"https://h/r.git","deploy":[]}})", {}},
      {R"({"system":{"deploy":[{"type":"rsync","target":"h:/a/"},{"type":"rsync","target":"h:/b/"},
          {"type":"rclone","name":"r2","remote":"r2:b/blog"},{"type":"ftp"},3]}})",
       {"rsync", "rsync-2", "r2", "ftp", "target"}},
      {R"({"system":{"deploy":{"type":"rsync"}}})", {"deploy"}},
  };
  for (const auto& c : kCases) {
    DeployTargets targets(Settings(c.settings), &git);
    EXPECT_EQ(targets.names(), c.names) << c.settings;
  }
}

TEST(DeployTargets, RefusedEntriesAreReportedAndTheOthersStillRun) {
  GitDeployer git;
  DeployTargets targets(
      Settings(R"({"system":{"deploy":[{"type":"ftp"},{"type":"rsync","target":"/"},
                  {"type":"rclone","remote":"r2:"},{"type":"git"},
                  {"type":"git","name":"git","url":"https://h/r.git"}]}})"),
      &git);
  std::vector<std::string> reasons;
  TargetRun run;
  run.workspace = "/nonexistent/ws";
  run.sink = [&](const std::string& reason) { reasons.push_back(reason); };
  std::vector<TargetOutcome> outcomes = targets.Publish(run, "");
  ASSERT_EQ(outcomes.size(), 5u);
  for (const TargetOutcome& outcome : outcomes)
    EXPECT_EQ(outcome.result, TargetResult::kRefused) << outcome.label;
  ASSERT_EQ(reasons.size(), 5u);
  EXPECT_NE(reasons[0].find("system.deploy[0]: unknown \"type\" \"ftp\""), std::string::npos);
  EXPECT_NE(reasons[1].find("the root folder"), std::string::npos);
  EXPECT_NE(reasons[2].find("the remote's root"), std::string::npos);
  EXPECT_NE(reasons[3].find("no \"url\""), std::string::npos);
  EXPECT_NE(reasons[4].find("names two targets \"git\""), std::string::npos);
  EXPECT_EQ(DeployTargets::Describe({outcomes[1]}),
            "rsync (rsync /): refused; nothing was sent (the reason is above)\n");
  // Only the target named runs.
  reasons.clear();
  EXPECT_EQ(targets.Publish(run, "rclone").size(), 1u);
  EXPECT_EQ(reasons.size(), 1u);
}

}  // namespace
}  // namespace tarn
