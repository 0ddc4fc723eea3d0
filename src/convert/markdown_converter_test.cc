#include "convert/markdown_converter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "script/jsc_script_host.h"
#include "script/script_host.h"
#include "support/temp_dir.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

// Records which thread made it and converts on that thread only, failing
// the test otherwise; "boom" in a text makes markToHtml throw.
class FakeHost : public ScriptHost {
 public:
  explicit FakeHost(std::atomic<int>* calls) : calls_(calls), thread_(std::this_thread::get_id()) {}
  bool HasFunction(const std::string& name) override { return name == "markToHtml"; }
  bool CallFunction(const std::string& name, const std::vector<std::string>& args,
                    std::string* result, std::string* error) override {
    EXPECT_EQ(std::this_thread::get_id(), thread_) << "a host used off its own thread";
    EXPECT_EQ(name, "markToHtml");
    calls_->fetch_add(1);
    if (args[0].find("boom") != std::string::npos) {
      *error = "page.js:3: Error: boom";
      return false;
    }
    *result = "<p>" + args[0] + "</p>";
    return true;
  }
  std::string Origin() const override { return "fake"; }

 private:
  std::atomic<int>* calls_;
  std::thread::id thread_;
};

class MarkdownConverterTest : public ::testing::Test {
 protected:
  MarkdownConverter::HostFactory Factory() {
    return [this](DiagnosticSink) {
      made_.fetch_add(1);
      return std::unique_ptr<ScriptHost>(new FakeHost(&calls_));
    };
  }

  MarkdownConverter::Options Options(int jobs, bool cache, const std::string& digest = "d1") {
    MarkdownConverter::Options options;
    options.jobs = jobs;
    if (cache) options.cache_path = (dir_ / ".tarn" / "markdown-cache.bin").string();
    options.scripts_digest = digest;
    options.bytes_per_worker = 0;  // workers for the few short texts of these tests
    return options;
  }

  DiagnosticSink Sink() {
    return [this](const std::string& m) {
      std::lock_guard<std::mutex> lock(mutex_);
      messages_.push_back(m);
    };
  }

  static std::vector<std::string> Html(const std::vector<MarkdownConverter::Result>& results) {
    std::vector<std::string> out;
    for (const auto& r : results) out.push_back(r.ok ? std::string(r.html) : "ERROR " + r.error);
    return out;
  }

  TempDir temp_{"convert"};
  fs::path dir_ = temp_.path();
  std::atomic<int> calls_{0};
  std::atomic<int> made_{0};
  std::mutex mutex_;
  std::vector<std::string> messages_;
};

std::vector<std::string> Posts(int n) {
  std::vector<std::string> posts;
  for (int i = 0; i < n; ++i) posts.push_back("# post " + std::to_string(i) + "\n\n中文 text");
  return posts;
}

std::vector<std::string_view> Views(const std::vector<std::string>& texts) {
  return std::vector<std::string_view>(texts.begin(), texts.end());
}

TEST_F(MarkdownConverterTest, AnyNumberOfHostsGivesTheSequentialResultsInOrder) {
  std::vector<std::string> posts = Posts(50);
  posts[7] = "same";
  posts[31] = "same";  // identical posts are converted once
  posts[12] = "boom here";
  std::vector<std::string> expected;
  for (const std::string& p : posts) {
    expected.push_back(p.find("boom") != std::string::npos ? "ERROR page.js:3: Error: boom"
                                                           : "<p>" + p + "</p>");
  }
  for (int jobs : {1, 2, 3, 8, 64}) {
    calls_ = 0;
    made_ = 0;
    FakeHost own(&calls_);
    MarkdownConverter converter(&own, Factory(), Options(jobs, false), Sink());
    EXPECT_EQ(Html(converter.ConvertAll(Views(posts))), expected) << jobs << " jobs";
    EXPECT_EQ(calls_.load(), 49) << jobs << " jobs";
    EXPECT_EQ(made_.load(), std::min(jobs, 49) - 1) << jobs << " jobs";
    EXPECT_EQ(converter.converted(), 48);
  }
  EXPECT_TRUE(messages_.empty());
}

// Workers are started for the bytes to convert, not the number of texts: a
// short share is the caller's host's alone; without a host of the caller's
// the workers are all there is, whatever the bytes.
TEST_F(MarkdownConverterTest, WorkersAreStartedOnlyForEnoughMarkdown) {
  const std::size_t per_worker = 1000;
  struct Case {
    std::size_t texts, bytes_each;
    bool own_host;
    int workers;
  } cases[] = {
      {40, 20, true, 0},   // 800 bytes: the caller converts them all
      {40, 60, true, 2},   // 2,400 bytes: two shares
      {40, 500, true, 3},  // 20,000 bytes, capped at jobs - 1
      {3, 20, false, 3},   // one worker per text, nobody else converts
  };
  for (const Case& c : cases) {
    std::vector<std::string> posts;
    for (std::size_t i = 0; i < c.texts; ++i) {
      std::string text = std::to_string(i) + " ";
      posts.push_back(text + std::string(c.bytes_each - text.size(), 'x'));
    }
    made_ = 0;
    FakeHost own(&calls_);
    MarkdownConverter::Options options = Options(4, false);
    options.bytes_per_worker = per_worker;
    MarkdownConverter converter(c.own_host ? &own : nullptr, Factory(), options, Sink());
    EXPECT_EQ(converter.ConvertAll(Views(posts)).size(), c.texts);
    EXPECT_EQ(made_.load(), c.workers) << c.texts << " texts of " << c.bytes_each;
  }
}

// A worker host that takes its time, so the caller's host gets texts too.
class SlowHost : public FakeHost {
 public:
  using FakeHost::FakeHost;
  bool CallFunction(const std::string& name, const std::vector<std::string>& args,
                    std::string* result, std::string* error) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return FakeHost::CallFunction(name, args, result, error);
  }
};

TEST_F(MarkdownConverterTest, ResultsCanBeTakenInAnyOrderWhileWorkersConvert) {
  std::vector<std::string> posts = Posts(60);
  posts[40] = posts[3];  // the same job for two texts
  {
    // Cache the first ten, so that some answers come from the cache.
    FakeHost own(&calls_);
    MarkdownConverter converter(&own, Factory(), Options(1, true), Sink());
    converter.ConvertAll(Views(std::vector<std::string>(posts.begin(), posts.begin() + 10)));
  }
  calls_ = 0;
  SlowHost own(&calls_);  // takes texts from the end while workers start at the front
  MarkdownConverter::HostFactory slow = [this](DiagnosticSink) {
    return std::unique_ptr<ScriptHost>(new SlowHost(&calls_));
  };
  MarkdownConverter converter(&own, slow, Options(3, true), Sink());
  converter.Start(Views(posts));
  for (std::size_t i = posts.size(); i-- > 0;) {
    MarkdownConverter::Result r = converter.Get(i);
    ASSERT_TRUE(r.ok) << i << ": " << r.error;
    EXPECT_EQ(r.html, "<p>" + posts[i] + "</p>") << i;
  }
  std::vector<std::string> expected;
  for (const std::string& p : posts) expected.push_back("<p>" + p + "</p>");
  EXPECT_EQ(Html(converter.Finish()), expected);
  EXPECT_EQ(calls_.load(), 49);  // 60 texts, 11 of them cached (one twice)
  EXPECT_EQ(converter.reused(), 11);
  EXPECT_TRUE(converter.Finish().empty());  // nothing under way any more
}

TEST_F(MarkdownConverterTest, AnAbandonedConversionStopsWithoutConvertingEverything) {
  std::vector<std::string> posts = Posts(2000);
  MarkdownConverter::HostFactory slow = [this](DiagnosticSink) {
    return std::unique_ptr<ScriptHost>(new SlowHost(&calls_));
  };
  {
    MarkdownConverter converter(nullptr, slow, Options(3, true), Sink());
    converter.Start(Views(posts));
    converter.Get(0);
  }  // destroyed before Finish: the workers stop after the text in hand
  EXPECT_LT(calls_.load(), 2000);
  EXPECT_FALSE(fs::exists(dir_ / ".tarn" / "markdown-cache.bin"));
}

// A host standing for a worker process that dies after `answers` calls: the
// call it dies in fails, and from then on it has no markToHtml.
class DyingHost : public ScriptHost {
 public:
  explicit DyingHost(int answers) : answers_(answers) {}
  bool HasFunction(const std::string& name) override {
    return name == "markToHtml" && answers_ >= 0;
  }
  bool CallFunction(const std::string&, const std::vector<std::string>& args, std::string* result,
                    std::string* error) override {
    if (--answers_ < 0) {
      *error = "the conversion worker has stopped";
      return false;
    }
    *result = "<p>" + args[0] + "</p>";
    return true;
  }
  std::string Origin() const override { return "dying"; }

 private:
  int answers_;
};

TEST_F(MarkdownConverterTest, TextsOfAHostThatBrokeGoToTheCallersHost) {
  std::vector<std::string> posts = Posts(40);
  posts[5] = "boom";  // fails on whichever host: that failure stands
  for (int answers : {0, 3}) {
    calls_ = 0;
    FakeHost own(&calls_);
    MarkdownConverter::HostFactory factory = [answers](DiagnosticSink) {
      return std::unique_ptr<ScriptHost>(new DyingHost(answers));
    };
    MarkdownConverter converter(&own, factory, Options(4, false), Sink());
    std::vector<std::string> html = Html(converter.ConvertAll(Views(posts)));
    ASSERT_EQ(html.size(), posts.size());
    for (std::size_t i = 0; i < posts.size(); ++i) {
      if (i == 5) continue;
      EXPECT_EQ(html[i], "<p>" + posts[i] + "</p>") << i << ", dying after " << answers;
    }
    // A dying host answers "boom" like any other text; the caller's throws.
    EXPECT_TRUE(html[5] == "<p>boom</p>" || html[5] == "ERROR page.js:3: Error: boom") << html[5];
    // Nothing was lost: each broken host gave up exactly one text.
    EXPECT_GE(calls_.load(), 40 - 3 * answers) << answers;
    EXPECT_EQ(converter.converted() + (html[5][0] == 'E' ? 1 : 0), 40);
  }
}

TEST_F(MarkdownConverterTest, ConvertsOnlyWhatChangedSinceTheLastBuild) {
  std::vector<std::string> posts = Posts(20);
  posts[3] = "boom";
  std::vector<std::string> first;
  {
    FakeHost own(&calls_);
    MarkdownConverter converter(&own, Factory(), Options(2, true), Sink());
    first = Html(converter.ConvertAll(Views(posts)));
    EXPECT_EQ(calls_.load(), 20);
  }
  {
    // One post edited: it is converted, and the failed one is tried again.
    calls_ = 0;
    made_ = 0;
    posts[9] += "\n\nedited";
    FakeHost own(&calls_);
    MarkdownConverter converter(&own, Factory(), Options(2, true), Sink());
    std::vector<std::string> html = Html(converter.ConvertAll(Views(posts)));
    EXPECT_EQ(calls_.load(), 2);
    EXPECT_EQ(converter.reused(), 18);
    EXPECT_EQ(html[9], "<p>" + posts[9] + "</p>");
    html[9] = first[9];
    EXPECT_EQ(html, first);
  }
  {
    // New page scripts: everything again.
    calls_ = 0;
    FakeHost own(&calls_);
    MarkdownConverter converter(&own, Factory(), Options(2, true, "d2"), Sink());
    converter.ConvertAll(Views(posts));
    EXPECT_EQ(calls_.load(), 20);
  }
  {
    // No cache: nothing read, nothing written.
    calls_ = 0;
    fs::path file = dir_ / ".tarn" / "markdown-cache.bin";
    auto written = fs::last_write_time(file);
    FakeHost own(&calls_);
    MarkdownConverter converter(&own, Factory(), Options(2, false, "d2"), Sink());
    converter.ConvertAll(Views(posts));
    EXPECT_EQ(calls_.load(), 20);
    EXPECT_EQ(fs::last_write_time(file), written);
  }
  EXPECT_TRUE(messages_.empty()) << messages_[0];
}

TEST_F(MarkdownConverterTest, HostsThatCannotBeMadeLeaveTheWorkToTheOthers) {
  std::vector<std::string> posts = Posts(30);
  std::atomic<int> attempts{0};
  auto failing = [&](DiagnosticSink sink) {
    attempts.fetch_add(1);
    sink("index copy.html: cannot create the script engine");  // said while loading: dropped
    return std::unique_ptr<ScriptHost>();
  };
  FakeHost own(&calls_);
  MarkdownConverter converter(&own, failing, Options(4, false), Sink());
  std::vector<MarkdownConverter::Result> results = converter.ConvertAll(Views(posts));
  EXPECT_EQ(attempts.load(), 3);
  EXPECT_EQ(calls_.load(), 30);
  for (const auto& r : results) EXPECT_TRUE(r.ok);
  EXPECT_TRUE(messages_.empty());

  // With no host at all, every post fails with a reason; nothing hangs.
  MarkdownConverter none(nullptr, failing, Options(2, false), Sink());
  results = none.ConvertAll(Views(posts));
  for (const auto& r : results) {
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "no page is loaded to run markToHtml");
  }
  EXPECT_EQ(messages_.size(), 2u) << "without a host of its own, load failures are news";
}

// The real engine on several threads, with the manager page the build
// ships: parallel conversion must give the sequential bytes.
TEST_F(MarkdownConverterTest, ManagerPageOnSeveralThreadsMatchesOneThread) {
  std::string page = std::string(TARN_BUILD_DIR) + "/template/index copy.html";
  if (!fs::exists(page)) GTEST_SKIP() << page << " is not built";
  std::vector<std::string> posts;
  for (int i = 0; i < 60; ++i) {
    posts.push_back("----------\r\nT" + std::to_string(i) +
                    "|2020-02-05\r\n----------\r\n\r\n# Post " + std::to_string(i) +
                    "\r\n\r\n| a | b |\r\n|---|---|\r\n| " + std::to_string(i) +
                    " | 中文 |\r\n\r\n```js\r\nlet x = '<" + std::to_string(i) +
                    ">';\r\n```\r\n\r\nSee https://example.com/" + std::to_string(i) +
                    " and *emphasis* ~~struck~~.\r\n");
  }
  std::unique_ptr<JscScriptHost> own = JscScriptHost::Load(page, Sink());
  ASSERT_TRUE(own);
  // A page whose libraries are missing says so (template/vendor), rather than
  // leaving only "defines no function markToHtml" below.
  ASSERT_TRUE(messages_.empty()) << messages_[0];
  std::vector<std::string> sequential;
  for (const std::string& p : posts) {
    std::string html, error;
    ASSERT_TRUE(own->CallFunction("markToHtml", {p}, &html, &error)) << error;
    sequential.push_back(html);
  }
  auto factory = [&](DiagnosticSink sink) -> std::unique_ptr<ScriptHost> {
    return JscScriptHost::Load(page, sink);
  };
  MarkdownConverter converter(own.get(), factory, Options(3, false), Sink());
  EXPECT_EQ(Html(converter.ConvertAll(Views(posts))), sequential);
  EXPECT_TRUE(messages_.empty()) << messages_[0];
}

}  // namespace
}  // namespace tarn
