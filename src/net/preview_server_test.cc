#include "net/preview_server.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(PreviewServerTest, MapsRequestPathsInsideTheSiteOnly) {
  struct Case {
    const char* path;
    bool ok;
    const char* relative;
  };
  const Case cases[] = {
      {"/", true, ""},
      {"/index.html", true, "index.html"},
      {"/articles/", true, "articles"},
      {"//articles//a.html", true, "articles/a.html"},
      {"/articles/%E4%BD%A0%E5%A5%BD.html", true, "articles/你好.html"},
      {"/C%23%20tips.html", true, "C# tips.html"},
      {"/%252e%252e/x", true, "%2e%2e/x"},  // decoded once only
      {"/a..b/..c", true, "a..b/..c"},
      {"/../etc/passwd", false, ""},
      {"/a/../../etc/passwd", false, ""},
      {"/%2e%2e/etc/passwd", false, ""},
      {"/%2E%2E%2Fetc%2Fpasswd", false, ""},
      {"/.%2e/x", false, ""},
      {"/./index.html", false, ""},
      {"/a/%2e", false, ""},
      {"/bad%zz", false, ""},
      {"/cut%2", false, ""},
      {"/nul%00.html", false, ""},
      {"index.html", false, ""},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    std::string relative = "unchanged";
    EXPECT_EQ(PreviewServer::MapRequestPath(c.path, &relative), c.ok) << c.path;
    if (c.ok) {
      EXPECT_EQ(relative, c.relative) << c.path;
    }
  }
}

TEST(PreviewServerTest, ContentTypesByExtension) {
  EXPECT_EQ(PreviewServer::ContentType("index.html"), "text/html; charset=utf-8");
  EXPECT_EQ(PreviewServer::ContentType("a/PAGE.HTM"), "text/html; charset=utf-8");
  EXPECT_EQ(PreviewServer::ContentType("assets/site.css"), "text/css; charset=utf-8");
  EXPECT_EQ(PreviewServer::ContentType("app.js"), "text/javascript; charset=utf-8");
  EXPECT_EQ(PreviewServer::ContentType("database.json"), "application/json; charset=utf-8");
  EXPECT_EQ(PreviewServer::ContentType("atom.xml"), "application/xml; charset=utf-8");
  EXPECT_EQ(PreviewServer::ContentType("logo.svg"), "image/svg+xml");
  EXPECT_EQ(PreviewServer::ContentType("photo.JPG"), "image/jpeg");
  EXPECT_EQ(PreviewServer::ContentType("font.woff2"), "font/woff2");
  // No extension, or a dot only in a folder name, is not guessed at.
  EXPECT_EQ(PreviewServer::ContentType("CNAME"), "application/octet-stream");
  EXPECT_EQ(PreviewServer::ContentType("v1.2/README"), "application/octet-stream");
  EXPECT_EQ(PreviewServer::ContentType("archive.tar.unknown"), "application/octet-stream");
}

TEST(PreviewServerTest, InjectsBeforeTheLastClosingBody) {
  const std::string s = "<s/>";
  EXPECT_EQ(PreviewServer::InjectScript("<html><body>x</body></html>", s),
            "<html><body>x<s/></body></html>");
  // Any case; a "</body>" inside the page's own text comes earlier and is
  // left alone.
  EXPECT_EQ(PreviewServer::InjectScript("<BODY><pre>&lt;/body></pre></BODY >\n</HTML>", s),
            "<BODY><pre>&lt;/body></pre><s/></BODY >\n</HTML>");
  EXPECT_EQ(PreviewServer::InjectScript("<p>no body</p></html>", s), "<p>no body</p><s/></html>");
  EXPECT_EQ(PreviewServer::InjectScript("fragment", s), "fragment<s/>");
  EXPECT_EQ(PreviewServer::InjectScript("", s), "<s/>");
}

TEST(PreviewServerTest, ListensOnLoopbackAndRefusesATakenPort) {
  PreviewServer first;
  std::string error;
  ASSERT_TRUE(first.Listen(0, &error)) << error;
  ASSERT_GT(first.port(), 0);
  EXPECT_EQ(first.Url(), "http://127.0.0.1:" + std::to_string(first.port()) + "/");

  PreviewServer second;
  EXPECT_FALSE(second.Listen(first.port(), &error));
  EXPECT_NE(error.find(std::to_string(first.port())), std::string::npos) << error;
  EXPECT_FALSE(second.Listen(70000, &error));
}

}  // namespace
}  // namespace tarn
