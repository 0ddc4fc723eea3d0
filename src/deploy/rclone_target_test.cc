#include "deploy/rclone_target.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

// A remote's root would be synced whole, deleting what else it holds; an
// option-looking value would be read by rclone as an option.
TEST(RcloneTarget, RefusesRootsAndOptionLookingRemotes) {
  const struct {
    const char* remote;
    const char* reason;  // "" when accepted
  } kCases[] = {
      {"", "is empty"},
      {"--config=/x:blog", "starts with \"-\""},
      {"blog/out", "names no remote"},
      {":s3", "names no remote"},
      {"r2:", "the remote's root"},
      {"r2:/", "the remote's root"},
      {"r2:.", "the remote's root"},
      {"r2:../up", "\"..\""},
      {"r2:bucket", ""},
      {"r2:bucket/blog/", ""},
      {":s3,provider=AWS:bucket/blog", ""},
  };
  for (const auto& c : kCases) {
    std::string error;
    bool accepted = RcloneTarget(c.remote).Check("/ws", &error);
    EXPECT_EQ(accepted, *c.reason == '\0') << c.remote << ": " << error;
    if (*c.reason) {
      EXPECT_NE(error.find(c.reason), std::string::npos) << c.remote << ": " << error;
    }
  }
}

}  // namespace
}  // namespace tarn
