#include "render/site_builder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "data/text_file.h"
#include "script/script_host.h"
#include "support/fake_script_host.h"
#include "support/temp_dir.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

class SiteBuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Put("config/base.json",
        "{\r\n  \"system\": {\"title\": \"My Blog\", \"theme\": \"t\", \"url\": "
        "\"https://x.org\",\r\n"
        "    \"head\": \"mine\", \"articleCount\": \"7\", \"note\": \"two\\nlines\"}\r\n}\r\n");
    Put("themes/t/index.mtpl", "{-volist name=\"posts\" key=\"p\"}{$p.url}{-volist/}");
    Put("themes/t/timeline.mtpl", "{-volist name=\"timeline\" key=\"g\"}{$g.date}{-volist/}");
    Put("themes/t/post.mtpl", "[{$post.title}|{$post.url}|{$post.content}|{$assetsPath}]");
    Put("_posts/Hello.MD", "hi");
    Put("_posts/a b.md", "ab");
  }

  void Put(const std::string& relative, const std::string& text) {
    fs::create_directories(fs::path(root_ + "/" + relative).parent_path());
    ASSERT_TRUE(WriteTextFile(root_ + "/" + relative, text));
  }
  std::string Read(const std::string& relative) {
    std::string text;
    ReadTextFile(root_ + "/" + relative, &text);
    return text;
  }
  SiteBuilder Make(ScriptHost* host) {
    return SiteBuilder(root_, host, [this](const std::string& m) { messages_.push_back(m); });
  }
  std::string Messages() const {
    std::string all;
    for (const std::string& m : messages_) all += m + "\n";
    return all;
  }

  TempDir temp_{"site"};
  std::string root_ = temp_.str();
  std::vector<std::string> messages_;
};

TEST_F(SiteBuilderTest, LoadConfigKeepsTheTextAndSetsTheProgramsKeys) {
  SiteBuilder builder = Make(nullptr);
  EXPECT_TRUE(builder.LoadConfig());
  const JsonDocument& data = builder.site_data();
  EXPECT_EQ(data.GetText("system.title"), "My Blog");
  EXPECT_EQ(data.GetText("system.note"), "two\r\nlines");
  EXPECT_EQ(data.GetText("system.articleCount"), "2");
  EXPECT_EQ(data.GetText("system.head"),
            "<meta name=\"generator\" content=\"TarnBlogEditor\">\r\n"
            "<meta name=\"author\" content=\"MORVEN Tarn\" />");
  EXPECT_EQ(builder.url_prefix(), ".");
  EXPECT_EQ(builder.ThemeDir(), root_ + "/themes/t");
  builder.SetVariable("a.b[1]", "x");
  EXPECT_EQ(builder.site_data().ToText("a"), "{\"b\":[null,\"x\"]}");
}

TEST_F(SiteBuilderTest, AbsoluteUrlNeedsExactlyOne) {
  const std::pair<std::string, std::string> cases[] = {
      {"[base]\nAbsoluteUrl=1\n", "https://x.org"},
      {"[base]\nAbsoluteUrl=true\n", "."},
      {"[base]\nAbsoluteUrl=\" 1\"\n", "."},
      {"", "."},
  };
  for (const auto& [ini, prefix] : cases) {
    Put("config/conf.ini", ini);
    SiteBuilder builder = Make(nullptr);
    builder.LoadConfig();
    EXPECT_EQ(builder.url_prefix(), prefix) << ini;
  }
  // With AbsoluteUrl=1 and no system.url, links start with "/articles/".
  Put("config/conf.ini", "[base]\nAbsoluteUrl=1\n");
  Put("config/base.json", "{\"system\":{\"theme\":\"t\"}}");
  SiteBuilder builder = Make(nullptr);
  builder.LoadConfig();
  EXPECT_EQ(builder.GetSiteData().GetText("posts[0].url"), "/articles/Hello.html");
}

TEST_F(SiteBuilderTest, BrokenConfigurationIsReported) {
  Put("config/base.json", "{\n  \"system\": {\"title\": \"x\" \"y\"}\n}");
  SiteBuilder builder = Make(nullptr);
  EXPECT_FALSE(builder.LoadConfig());
  EXPECT_NE(Messages().find("config/base.json:2:"), std::string::npos) << Messages();
  EXPECT_NE(Messages().find("JSON error -6"), std::string::npos) << Messages();
  EXPECT_EQ(builder.site_data().GetText("system.title"), "");
  EXPECT_EQ(builder.site_data().GetText("system.articleCount"), "2");

  Put("config/base.json", "\xEF\xBB\xBF[1,2]");
  EXPECT_FALSE(builder.LoadConfig());
  EXPECT_NE(Messages().find("not a JSON object"), std::string::npos);

  fs::remove(root_ + "/config/base.json");
  EXPECT_FALSE(builder.LoadConfig());
  Put("config/base.json", "\xEF\xBB\xBF{\"a\":1}");
  EXPECT_TRUE(builder.LoadConfig());
  EXPECT_EQ(builder.site_data().GetText("a"), "1");
}

TEST_F(SiteBuilderTest, PostIndexReplacesTheSiteData) {
  SiteBuilder builder = Make(nullptr);
  builder.LoadConfig();
  JsonDocument index;
  ASSERT_TRUE(index.Parse(builder.BuildPostIndex()));
  EXPECT_EQ(index.GetText("posts[0].title"), "Hello");
  EXPECT_EQ(index.GetText("posts[1].url"), "./articles/a%20b.html");
  EXPECT_EQ(index.ToText(), builder.site_data().ToText());
  // The copy is the caller's.
  JsonDocument copy = builder.GetSiteData();
  copy.SetText("system.title", "changed");
  EXPECT_EQ(builder.site_data().GetText("system.title"), "My Blog");

  std::vector<std::string> parts;
  Put("_posts/h.md", "----------\r\na|b||c\r\n----------\r\nbody");
  EXPECT_EQ(builder.ReadPostHeader(root_ + "/_posts/h.md", &parts), 4);
  EXPECT_EQ(parts, (std::vector<std::string>{"a", "b", "", "c"}));
  EXPECT_EQ(builder.ReadPostHeader(root_ + "/_posts/Hello.MD", &parts), 0);
}

TEST_F(SiteBuilderTest, ConverterFailuresFailTheBuild) {
  FakeScriptHost host;
  host.functions["markToHtml"] = [](const std::vector<std::string>& a, std::string* r,
                                    std::string* e) {
    if (a.at(0) == "hi") {
      *e = "boom at line 3";
      return false;
    }
    *r = a.at(0);
    return true;
  };
  SiteBuilder builder = Make(&host);
  builder.LoadConfig();
  EXPECT_FALSE(builder.Build());
  EXPECT_NE(Messages().find("Hello.MD: markToHtml failed: boom at line 3"), std::string::npos)
      << Messages();
  EXPECT_FALSE(fs::exists(root_ + "/public/articles/Hello.html"));
  EXPECT_EQ(Read("public/articles/a b.html"), "[a b|./articles/a%20b.html|ab|./assets]");
  // The site data keeps the last post rendered.
  EXPECT_EQ(builder.site_data().GetText("post.title"), "a b");

  // A build started from inside a page call (the desktop program keeps its
  // window alive meanwhile) is turned away instead of pulling the posts from
  // under the running one.
  bool nested = true;
  host.functions["markToHtml"] = [&](const std::vector<std::string>& a, std::string* r,
                                     std::string*) {
    nested = builder.Build();
    *r = a.at(0);
    return true;
  };
  EXPECT_TRUE(builder.Build()) << Messages();
  EXPECT_FALSE(nested);
  EXPECT_NE(Messages().find("a build is already running"), std::string::npos);

  host.functions.erase("markToHtml");
  messages_.clear();
  EXPECT_FALSE(builder.Build());
  EXPECT_NE(Messages().find("fake page defines no markToHtml"), std::string::npos) << Messages();
  EXPECT_EQ(builder.ConvertMarkdown("x"), "");

  SiteBuilder headless = Make(nullptr);
  headless.LoadConfig();
  EXPECT_FALSE(headless.Build());
}

TEST_F(SiteBuilderTest, ScriptRenderHandsTemplateAndDataToThePage) {
  FakeScriptHost host;
  SiteBuilder builder = Make(&host);
  builder.LoadConfig();
  Put("template/index copy.html", "<p>{{title}}</p>");
  std::string page = builder.ScriptRender(root_ + "/template/index copy.html");
  EXPECT_EQ(page, "<p>{{title}}</p>|" + builder.site_data().ToText());
  host.functions.erase("TplRender");
  EXPECT_EQ(builder.ScriptRender(root_ + "/template/index copy.html"), "");
  EXPECT_NE(Messages().find("fake page: TplRender failed"), std::string::npos);
  EXPECT_EQ(builder.ScriptRender(root_ + "/template/missing.html"), "");
}

}  // namespace
}  // namespace tarn
