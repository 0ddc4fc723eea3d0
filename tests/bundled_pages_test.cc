// The bundled manager page on the real headless script host: its scripts
// (markdown-it and mustache from template/vendor, tarn-markdown.js, the
// inline TplRender) must all run without a DOM, and give the HTML the site
// build and the start-up page rely on.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "script/jsc_script_host.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

class BundledPagesTest : public ::testing::Test {
 protected:
  // The page's source with the vendor files the build copied beside it, in
  // a folder of its own (build/template keeps files from earlier builds).
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarn-pages-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::copy(fs::path(TARN_SOURCE_DIR) / "workspace" / "template", dir_,
             fs::copy_options::recursive);
    fs::path vendor = fs::path(TARN_BUILD_DIR) / "template" / "vendor";
    ASSERT_TRUE(fs::exists(vendor / "markdown-it.min.js"))
        << vendor << " is missing: the workspace target copies it from web/node_modules";
    fs::copy(vendor, dir_ / "vendor", fs::copy_options::recursive);
    host_ = JscScriptHost::Load((dir_ / "index copy.html").string(),
                                [this](const std::string& m) { messages_.push_back(m); });
    ASSERT_NE(host_, nullptr);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Call(const std::string& name, const std::vector<std::string>& args) {
    std::string result, error;
    EXPECT_TRUE(host_->CallFunction(name, args, &result, &error)) << error;
    return result;
  }

  fs::path dir_;
  std::unique_ptr<JscScriptHost> host_;
  std::vector<std::string> messages_;
};

TEST_F(BundledPagesTest, EveryScriptRunsWithoutADom) {
  EXPECT_EQ(host_->scripts_failed(), 0);
  // markdown-it, mustache, seven markdown-it plug-ins, highlight.js, KaTeX,
  // tarn-math.js, tarn-markdown.js, inline
  EXPECT_EQ(host_->scripts_run(), 14);
  for (const auto& m : messages_) ADD_FAILURE() << m;
  EXPECT_TRUE(host_->HasFunction("markToHtml"));
  EXPECT_TRUE(host_->HasFunction("TplRender"));
  EXPECT_TRUE(host_->HasFunction("markToHtmlRenders"));
}

TEST_F(BundledPagesTest, MarkToHtmlConvertsAPost) {
  std::string post =
      "----------\r\ntag|中文\r\n\r\n----------\r\n\r\n## 你好，世界 😀\r\n\r\n"
      "| 键 | 值 |\r\n| --- | --- |\r\n| ~~旧~~ | `a<b` |\r\n";
  EXPECT_EQ(Call("markToHtml", {post}),
            "<hr>\n<p>tag|中文</p>\n<hr>\n<h2>你好，世界 😀</h2>\n"
            "<table>\n<thead>\n<tr>\n<th>键</th>\n<th>值</th>\n</tr>\n</thead>\n"
            "<tbody>\n<tr>\n<td><s>旧</s></td>\n<td><code>a&lt;b</code></td>\n</tr>\n"
            "</tbody>\n</table>\n");
}

TEST_F(BundledPagesTest, TplRenderRendersTheManagerPage) {
  std::string page = Call(
      "TplRender",
      {"<h1>{{system.title}}</h1>{{#posts}}<li>{{title}} {{update_time}}</li>{{/posts}}",
       R"({"system":{"title":"湖边 & 小记"},"posts":[{"title":"A","update_time":"2020-02-05 14:03:09"},)"
       R"({"title":"你好","update_time":"2020-03-01 08:00:00"}]})"});
  // The list shows the most recently edited post first.
  EXPECT_EQ(page,
            "<h1>湖边 &amp; 小记</h1><li>你好 2020-03-01 08:00:00</li>"
            "<li>A 2020-02-05 14:03:09</li>");

  std::string result, error;
  EXPECT_FALSE(host_->CallFunction("TplRender", {"x", "{not json"}, &result, &error));
  EXPECT_NE(error.find("not valid JSON"), std::string::npos) << error;
}

}  // namespace
}  // namespace tarn
