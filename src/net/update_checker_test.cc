#include "net/update_checker.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "../../tests/local_http_server.h"

namespace tarn {
namespace {

std::string Manifest(int version, int order, const std::string& update) {
  return "{\"versionList\":[{\"version\":" + std::to_string(version) +
         ",\"order\":" + std::to_string(order) + ",\"update\":\"" + update +
         "\",\"download\":\"https://example.invalid/x.zip\"},"
         "{\"version\":1,\"order\":99,\"update\":\"old\"}]}";
}

TEST(UpdateCheckerTest, OnlyAHigherOrderGivesTheNotice) {
  EXPECT_FALSE(UpdateChecker::ParseManifest(Manifest(9, 3, "x")).found);
  EXPECT_FALSE(UpdateChecker::ParseManifest(Manifest(9, -4, "x")).found);

  UpdateNotice notice = UpdateChecker::ParseManifest(Manifest(120, 4, "修复\\n若干问题"));
  ASSERT_TRUE(notice.found);
  EXPECT_EQ(notice.version, 120);
  // The notes follow the fixed text directly and nothing follows them; the
  // manifest's own download address is not used.
  EXPECT_EQ(notice.text, "检测到新版本，版本号：120。是否更新？\r\n更新内容\r\n修复\r\n若干问题");
  EXPECT_EQ(notice.download_page, kDownloadPage);
}

TEST(UpdateCheckerTest, AnythingButAManifestGivesNothing) {
  for (const char* body :
       {"", "<!DOCTYPE html><html><body>versionList</body></html>", "{", "[]",
        "{\"versionList\":[]}", "{\"versionList\":{}}", "{\"versionList\":[{\"version\":5}]}",
        "{\"order\":9}", "null", "\xff\xfe{"}) {
    EXPECT_FALSE(UpdateChecker::ParseManifest(body).found) << body;
  }
  // Missing members read as 0 and "".
  UpdateNotice notice = UpdateChecker::ParseManifest("{\"versionList\":[{\"order\":4}]}");
  ASSERT_TRUE(notice.found);
  EXPECT_EQ(notice.text, "检测到新版本，版本号：0。是否更新？\r\n更新内容\r\n");
}

LocalHttpServer::Response Served(std::string body, std::string type = "application/json") {
  LocalHttpServer::Response r;
  r.body = std::move(body);
  r.content_type = std::move(type);
  return r;
}

// The check over a real HTTP server, addressed through TARN_UPDATE_URL as a
// mirror would be. Only a newer manifest gives a notice; a failed fetch also
// gives a reason, an answer that is no newer manifest does not.
TEST(UpdateCheckerTest, OverHttpOnlyANewerManifestSpeaks) {
  LocalHttpServer server;
  server.Serve("/newer", Served(Manifest(8, 4, "notes")));
  server.Serve("/same", Served(Manifest(7, 3, "same")));
  server.Serve("/html", Served("<html><body>Moved</body></html>", "text/html"));
  server.Serve("/empty", Served(""));
  LocalHttpServer::Response silent;
  silent.never_answer = true;
  server.Serve("/silent", silent);
  const std::string refused =
      "http://127.0.0.1:" + std::to_string(LocalHttpServer::UnusedPort()) + "/update.json";
  struct Case {
    std::string url;
    bool found;
    bool gives_reason;
  };
  for (const Case& c : std::vector<Case>{{server.Url("/newer"), true, false},
                                         {server.Url("/same"), false, false},
                                         {server.Url("/html"), false, false},
                                         {server.Url("/empty"), false, false},
                                         {server.Url("/missing"), false, true},
                                         {refused, false, true},
                                         {server.Url("/silent"), false, true}}) {
    setenv("TARN_UPDATE_URL", c.url.c_str(), 1);
    UpdateChecker checker(HttpTimeouts{1000, 500});
    UpdateNotice notice;
    notice.found = !c.found;  // must be overwritten by the check
    std::vector<std::string> reasons;
    EXPECT_EQ(
        checker.CheckForUpdate(&notice, [&reasons](const std::string& m) { reasons.push_back(m); }),
        c.found)
        << c.url;
    EXPECT_EQ(notice.found, c.found) << c.url;
    EXPECT_EQ(notice.text,
              c.found ? "检测到新版本，版本号：8。是否更新？\r\n更新内容\r\nnotes" : "")
        << c.url;
    EXPECT_EQ(reasons.size(), c.gives_reason ? 1u : 0u) << c.url;
  }
  unsetenv("TARN_UPDATE_URL");
}

TEST(UpdateCheckerTest, ManifestAddressComesFromTheEnvironmentWhenSet) {
  unsetenv("TARN_UPDATE_URL");
  EXPECT_EQ(UpdateChecker::ManifestUrl(), kManifestUrl);
  setenv("TARN_UPDATE_URL", "", 1);
  EXPECT_EQ(UpdateChecker::ManifestUrl(), kManifestUrl);
  setenv("TARN_UPDATE_URL", "http://mirror.invalid/u.json", 1);
  std::string asked;
  UpdateChecker checker([&asked](const std::string& url, const DiagnosticSink&) {
    asked = url;
    return Manifest(5, 5, "n");
  });
  UpdateNotice notice;
  EXPECT_TRUE(checker.CheckForUpdate(&notice));
  EXPECT_EQ(asked, "http://mirror.invalid/u.json");
  unsetenv("TARN_UPDATE_URL");
}

}  // namespace
}  // namespace tarn
