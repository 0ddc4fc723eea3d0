#include "render/post_conversion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/markdown_converter.h"
#include "support/fake_script_host.h"
#include "support/temp_dir.h"

namespace tarn {
namespace {

class PostConversionTest : public ::testing::Test {
 protected:
  PostConversionTest() {
    host_.functions["markToHtml"] = [this](const std::vector<std::string>& args,
                                           std::string* result, std::string*) {
      texts_.push_back(args.at(0));
      *result = "<p>" + args.at(0) + "</p>";
      return true;
    };
    host_.functions[PostConversion::kRendersFunction] = [](auto&, std::string*, std::string*) {
      return true;
    };
    for (int i = 0; i < 3; ++i) {
      PostFile post;
      post.content = "---\ntitle: t\n---\nPost " + std::to_string(i) + " $x$\n";
      post.body = 17;  // after the front matter
      posts_.push_back(post);
    }
  }

  // Converts every post through a converter with the cache file, as a
  // build does, and returns how many texts markToHtml converted.
  int Build(const std::string& digest, bool code, bool maths) {
    MarkdownConverter::Options options;
    options.jobs = 1;
    options.cache_path = temp_.str() + "/markdown-cache.bin";
    options.scripts_digest = digest;
    MarkdownConverter converter(&host_, nullptr, options, nullptr);
    PostConversion html(&host_, &converter, &posts_);
    html.RenderWhileConverting(code, maths, nullptr);
    html.Start();
    for (std::size_t i = 0; i < posts_.size(); ++i) {
      std::string storage, error;
      std::string_view got;
      EXPECT_TRUE(html.Get(i, &storage, &got, &error)) << error;
    }
    html.Finish();
    return converter.converted();
  }

  TempDir temp_{"post_conversion"};
  FakeScriptHost host_;
  std::vector<PostFile> posts_;
  std::vector<std::string> texts_;
};

TEST_F(PostConversionTest, ThePageGetsTheRenderRequestBeforeThePostsMarkdown) {
  const struct {
    bool code, maths;
    const char* line;
  } cases[] = {
      {false, false, ""},
      {true, false, "\x01tarn-render: code\n"},
      {false, true, "\x01tarn-render: maths\n"},
      {true, true, "\x01tarn-render: code maths\n"},
  };
  for (const auto& c : cases) {
    // Through the converter and, without one, straight through the page.
    for (bool with_converter : {true, false}) {
      texts_.clear();
      MarkdownConverter converter(&host_, nullptr, {1, "", "d"}, nullptr);
      PostConversion html(&host_, with_converter ? &converter : nullptr, &posts_);
      html.RenderWhileConverting(c.code, c.maths, nullptr);
      html.Start();
      std::string storage, error;
      std::string_view got;
      ASSERT_TRUE(html.Get(1, &storage, &got, &error)) << error;
      const std::string expected = std::string(c.line) + "Post 1 $x$\n";
      EXPECT_EQ(got, "<p>" + expected + "</p>") << c.line;
      EXPECT_EQ(texts_.back(), expected) << c.line;
    }
  }
}

TEST_F(PostConversionTest, TheCacheConvertsAgainWhenTheRequestOrTheConverterChanges) {
  const struct {
    const char* digest;
    bool code, maths;
    int converted;
  } builds[] = {
      {"page 1", false, false, 3},                               // the first build
      {"page 1", false, false, 0},                               // nothing changed
      {"page 1", false, true, 3},                                // the theme asks for maths
      {"page 1", false, true, 0},  {"page 1", true, true, 3},    // and code
      {"page 2", true, true, 3},                                 // a new converter page
      {"page 2", true, true, 0},   {"page 2", false, false, 3},  // back to the browser
  };
  int step = 0;
  for (const auto& b : builds)
    EXPECT_EQ(Build(b.digest, b.code, b.maths), b.converted) << "build " << ++step;
}

TEST_F(PostConversionTest, APageThatCannotRenderConvertsAsWithoutTheRequest) {
  host_.functions.erase(PostConversion::kRendersFunction);
  std::vector<std::string> messages;
  PostConversion html(&host_, nullptr, &posts_);
  html.RenderWhileConverting(true, true, [&](const std::string& m) { messages.push_back(m); });
  std::string storage, error;
  std::string_view got;
  ASSERT_TRUE(html.Get(0, &storage, &got, &error)) << error;
  EXPECT_EQ(texts_.back(), "Post 0 $x$\n");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0],
            "fake page: cannot highlight code or typeset maths while converting (it defines no "
            "markToHtmlRenders); the theme's \"render\" setting is left to the browser");
}

}  // namespace
}  // namespace tarn
