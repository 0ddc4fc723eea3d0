#include "net/http_client.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../tests/local_http_server.h"

namespace tarn {
namespace {

// Collects the reasons a client gives.
struct Reasons {
  std::vector<std::string> messages;
  DiagnosticSink sink() {
    return [this](const std::string& m) { messages.push_back(m); };
  }
  std::string all() const {
    std::string out;
    for (const auto& m : messages) out += m + "\n";
    return out;
  }
};

LocalHttpServer::Response Body(std::string body, std::string content_type = "application/json") {
  LocalHttpServer::Response r;
  r.body = std::move(body);
  r.content_type = std::move(content_type);
  return r;
}

TEST(HttpClientTest, ReturnsBodiesAsUtf8) {
  LocalHttpServer server;
  server.Serve("/plain", Body("{\"a\":\"中文\"}"));
  server.Serve("/bom", Body("\xEF\xBB\xBF{}"));
  // "中文" in GBK, declared in a quoted, upper-case parameter.
  server.Serve("/gbk", Body("\xD6\xD0\xCE\xC4", "text/plain; CHARSET=\"GBK\""));
  server.Serve("/latin1", Body("caf\xE9", "text/html;charset=iso-8859-1"));
  server.Serve("/utf8", Body("\xE2\x82\xAC", "text/plain; charset=UTF-8"));
  server.Serve("/nonsense", Body("x", "text/plain; charset=no-such-set"));
  LocalHttpServer::Response moved;
  moved.status = 302;
  moved.location = "/plain";
  server.Serve("/moved", moved);

  HttpClient client;
  Reasons reasons;
  EXPECT_EQ(client.Get(server.Url("/plain"), reasons.sink()), "{\"a\":\"中文\"}");
  EXPECT_EQ(client.Get(server.Url("/bom")), "{}");
  EXPECT_EQ(client.Get(server.Url("/gbk")), "中文");
  EXPECT_EQ(client.Get(server.Url("/latin1")), "café");
  EXPECT_EQ(client.Get(server.Url("/utf8")), "€");
  EXPECT_EQ(client.Get(server.Url("/moved"), reasons.sink()), "{\"a\":\"中文\"}");
  EXPECT_TRUE(reasons.messages.empty()) << reasons.all();

  EXPECT_EQ(client.Get(server.Url("/nonsense"), reasons.sink()), "");
  ASSERT_EQ(reasons.messages.size(), 1u);
  EXPECT_NE(reasons.messages[0].find("no-such-set"), std::string::npos) << reasons.all();
}

TEST(HttpClientTest, EveryFailureGivesEmptyTextAndAReason) {
  LocalHttpServer server;
  LocalHttpServer::Response error = Body("{\"versionList\":[]}");
  error.status = 500;
  server.Serve("/error", error);
  LocalHttpServer::Response loop;
  loop.status = 302;
  loop.location = "/loop";
  server.Serve("/loop", loop);

  HttpClient client;
  struct Case {
    std::string url;
    std::string reason_mentions;
  };
  const std::vector<Case> cases = {
      {server.Url("/missing"), "404"},
      {server.Url("/error"), "500"},
      {server.Url("/loop"), "redirect"},
      {"http://127.0.0.1:" + std::to_string(LocalHttpServer::UnusedPort()) + "/", "127.0.0.1"},
      // Only http and https: a manifest address must never read local files.
      {"file:///etc/hostname", "file"},
      {"not a url", ""},
  };
  for (const Case& c : cases) {
    Reasons reasons;
    EXPECT_EQ(client.Get(c.url, reasons.sink()), "") << c.url;
    ASSERT_EQ(reasons.messages.size(), 1u) << c.url;
    EXPECT_EQ(reasons.messages[0].rfind("GET " + c.url + ": ", 0), 0u) << reasons.all();
    EXPECT_NE(reasons.messages[0].find(c.reason_mentions), std::string::npos) << reasons.all();
  }
}

TEST(HttpClientTest, ServerThatNeverAnswersEndsAtTheTimeOut) {
  LocalHttpServer server;
  LocalHttpServer::Response silent;
  silent.never_answer = true;
  server.Serve("/silent", silent);
  HttpClient client(HttpTimeouts{1000, 500});
  Reasons reasons;
  EXPECT_EQ(client.Get(server.Url("/silent"), reasons.sink()), "");
  ASSERT_EQ(reasons.messages.size(), 1u);
  EXPECT_NE(reasons.messages[0].find("imed out"), std::string::npos) << reasons.all();
  EXPECT_EQ(server.requests(), 1);
}

TEST(HttpClientTest, CharsetParameterIsFoundOnlyWhereItIsOne) {
  EXPECT_EQ(HttpClient::CharsetOf("text/html; charset=gbk"), "gbk");
  EXPECT_EQ(HttpClient::CharsetOf("text/html;charset = \"Big5\" ; q=1"), "Big5");
  EXPECT_EQ(HttpClient::CharsetOf("text/html; format=flowed; charset=utf-8"), "utf-8");
  EXPECT_EQ(HttpClient::CharsetOf("text/html"), "");
  EXPECT_EQ(HttpClient::CharsetOf("application/x-charset=gbk"), "");
  EXPECT_EQ(HttpClient::CharsetOf(""), "");
}

}  // namespace
}  // namespace tarn
