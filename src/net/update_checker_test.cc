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
  EXPECT_EQ(notice.text,
            "检测到新版本，版本号：120。是否更新？\r\n更新内容\r\n修复\r\n若干问题");
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

// The check over a real HTTP server, addressed through TARN_UPDATE_URL as a
// mirror would be.
class UpdateCheckOverHttp : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.Serve("/same", Body(Manifest(7, 3, "same")));
    server_.Serve("/newer", Body(Manifest(8, 4, "notes")));
    server_.Serve("/html", Body("<html><body>Moved</body></html>", "text/html"));
    server_.Serve("/empty", Body(""));
    LocalHttpServer::Response silent;
    silent.never_answer = true;
    server_.Serve("/silent", silent);
  }
  void TearDown() override { unsetenv("TARN_UPDATE_URL"); }

  static LocalHttpServer::Response Body(std::string body,
                                        std::string type = "application/json") {
    LocalHttpServer::Response r;
    r.body = std::move(body);
    r.content_type = std::move(type);
    return r;
  }

  // Runs a check against url; returns the notice, the reasons in *reasons.
  UpdateNotice Check(const std::string& url, std::vector<std::string>* reasons) {
    setenv("TARN_UPDATE_URL", url.c_str(), 1);
    UpdateChecker checker(HttpTimeouts{1000, 500});
    UpdateNotice notice;
    notice.found = true;  // must be reset by the check
    bool found = checker.CheckForUpdate(
        &notice, [reasons](const std::string& m) { reasons->push_back(m); });
    EXPECT_EQ(found, notice.found);
    return notice;
  }

  LocalHttpServer server_;
};

TEST_F(UpdateCheckOverHttp, NewerBuildIsAnnounced) {
  std::vector<std::string> reasons;
  UpdateNotice notice = Check(server_.Url("/newer"), &reasons);
  ASSERT_TRUE(notice.found);
  EXPECT_EQ(notice.text, "检测到新版本，版本号：8。是否更新？\r\n更新内容\r\nnotes");
  EXPECT_TRUE(reasons.empty());
  EXPECT_EQ(server_.requests(), 1);
}

TEST_F(UpdateCheckOverHttp, NothingNewerAndEveryFailureAreQuiet) {
  const std::string refused =
      "http://127.0.0.1:" + std::to_string(LocalHttpServer::UnusedPort()) + "/update.json";
  struct Case {
    std::string url;
    bool gives_reason;
  };
  for (const Case& c : std::vector<Case>{{server_.Url("/same"), false},
                                         {server_.Url("/html"), false},
                                         {server_.Url("/empty"), false},
                                         {server_.Url("/missing"), true},
                                         {refused, true},
                                         {server_.Url("/silent"), true}}) {
    std::vector<std::string> reasons;
    UpdateNotice notice = Check(c.url, &reasons);
    EXPECT_FALSE(notice.found) << c.url;
    EXPECT_TRUE(notice.text.empty()) << c.url;
    EXPECT_EQ(reasons.size(), c.gives_reason ? 1u : 0u) << c.url;
  }
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
