// tarn check-update, run as a user would run it, against a manifest served on
// 127.0.0.1.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include <cstdio>
#include <string>

#include "local_http_server.h"

namespace tarn {
namespace {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs tarn with the given manifest address; stdout and stderr apart.
Outcome RunCheckUpdate(const std::string& url, const std::string& extra = "") {
  char err_path[] = "/tmp/tarn_check_update_XXXXXX";
  int fd = mkstemp(err_path);
  if (fd >= 0) close(fd);
  std::string command = "TARN_UPDATE_URL='" + url + "' TARN_UPDATE_TIMEOUT=0.5 '" + TARN_BINARY +
                        "' check-update" + extra + " 2>" + err_path;
  Outcome run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (FILE* err = std::fopen(err_path, "rb")) {
    while ((n = fread(buffer, 1, sizeof buffer, err)) > 0) run.err.append(buffer, n);
    std::fclose(err);
  }
  std::remove(err_path);
  return run;
}

LocalHttpServer::Response Json(std::string body) {
  LocalHttpServer::Response r;
  r.body = std::move(body);
  return r;
}

TEST(CheckUpdateCommandTest, PrintsTheNoticeOnlyForANewerBuild) {
  LocalHttpServer server;
  server.Serve("/newer", Json("{\"versionList\":[{\"version\":4,\"order\":4,"
                              "\"update\":\"新主题\\n更快\"}]}"));
  server.Serve("/same", Json("{\"versionList\":[{\"version\":3,\"order\":3,\"update\":\"x\"}]}"));

  Outcome newer = RunCheckUpdate(server.Url("/newer"));
  EXPECT_EQ(newer.status, 0);
  EXPECT_EQ(newer.out,
            "检测到新版本，版本号：4。是否更新？\n更新内容\n新主题\n更快\n"
            "https://github.com/tarn-blog/tarn/releases\n");
  EXPECT_EQ(newer.err, "");

  Outcome same = RunCheckUpdate(server.Url("/same"));
  EXPECT_EQ(same.status, 0);
  EXPECT_EQ(same.out, "");
  EXPECT_EQ(same.err, "");
}

TEST(CheckUpdateCommandTest, FailuresPrintNothingButSayWhyAndExitZero) {
  LocalHttpServer server;
  LocalHttpServer::Response silent;
  silent.never_answer = true;
  server.Serve("/silent", silent);
  for (const std::string& url :
       {server.Url("/missing"), server.Url("/silent"),
        "http://127.0.0.1:" + std::to_string(LocalHttpServer::UnusedPort()) + "/"}) {
    Outcome run = RunCheckUpdate(url);
    EXPECT_EQ(run.status, 0) << url;
    EXPECT_EQ(run.out, "") << url;
    EXPECT_NE(run.err.find(url), std::string::npos) << run.err;
  }
  EXPECT_EQ(RunCheckUpdate(server.Url("/missing"), " now").status, 2);
}

}  // namespace
}  // namespace tarn
