#include "script/worker_process_host.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "data/text_file.h"
#include "script/jsc_script_host.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

// A page with a converter that echoes, fails on "boom" and handles texts far
// larger than one pipe buffer.
constexpr char kPage[] =
    "<html><script>\n"
    "function markToHtml(md) {\n"
    "  if (md.indexOf('boom') >= 0) throw new Error('boom');\n"
    "  return '<p>' + md.length + ':' + md + '</p>';\n"
    "}\n"
    "</script></html>\n";

class WorkerProcessHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarn-worker-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    page_ = (dir_ / "index copy.html").string();
    ASSERT_TRUE(WriteTextFile(page_, kPage));
    auto host = JscScriptHost::Load(page_, nullptr);
    ASSERT_NE(host, nullptr);
    digest_ = host->ScriptsDigest();
  }
  void TearDown() override {
    ::unsetenv("TARN_TEST_WORKER_EXIT_AFTER");
    fs::remove_all(dir_);
  }

  DiagnosticSink Sink() {
    return [this](const std::string& m) { messages_.push_back(m); };
  }

  fs::path dir_;
  std::string page_;
  std::string digest_;
  std::vector<std::string> messages_;
};

// The small worker executable built beside tarn, which tarn starts.
std::string LeanWorker() {
  return std::string(TARN_BUILD_DIR) + "/" + WorkerProcessHost::kLeanWorker;
}

// Both executables serve: tarn's own command and the small worker.
class BothWorkersTest : public WorkerProcessHostTest, public ::testing::WithParamInterface<bool> {
 protected:
  std::string Executable() const { return GetParam() ? LeanWorker() : TARN_BINARY; }
};

INSTANTIATE_TEST_SUITE_P(TarnAndLean, BothWorkersTest, ::testing::Bool());

TEST_P(BothWorkersTest, ConvertsLikeTheHostInThisProcess) {
  auto worker = WorkerProcessHost::Start(Executable(), page_, digest_, Sink());
  ASSERT_NE(worker, nullptr);
  EXPECT_EQ(worker->ScriptsDigest(), digest_);
  EXPECT_TRUE(worker->HasFunction("markToHtml"));
  EXPECT_FALSE(worker->HasFunction("TplRender"));
  std::string big(3 << 20, 'x');
  big += "中文\r\n";
  for (const std::string& text : {std::string("# hi"), std::string(), big}) {
    std::string html, error;
    ASSERT_TRUE(worker->CallFunction("markToHtml", {text}, &html, &error)) << error;
    EXPECT_EQ(html,
              "<p>" + std::to_string(text.size() - (text == big ? 4 : 0)) + ":" + text + "</p>");
  }
  // A text that throws fails alone; the worker goes on.
  std::string html, error;
  EXPECT_FALSE(worker->CallFunction("markToHtml", {"boom"}, &html, &error));
  EXPECT_NE(error.find("boom"), std::string::npos) << error;
  EXPECT_TRUE(worker->CallFunction("markToHtml", {"after"}, &html, &error));
  EXPECT_EQ(html, "<p>5:after</p>");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(WorkerProcessHostTest, TheLeanWorkerIsFoundAndLoadsNoDesktopLibrary) {
  // This test program sits beside tarn, as the worker does.
  EXPECT_EQ(WorkerProcessHost::WorkerExecutable(), LeanWorker());
  FILE* ldd = ::popen(("ldd '" + LeanWorker() + "' 2>&1").c_str(), "r");
  ASSERT_NE(ldd, nullptr);
  std::string libraries;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, ldd)) > 0;)
    libraries.append(buffer, n);
  EXPECT_EQ(::pclose(ldd), 0) << libraries;
  EXPECT_NE(libraries.find("libjavascriptcoregtk"), std::string::npos) << libraries;
  for (const char* desktop : {"libgtk", "libgdk", "libwebkit2gtk", "libnotify", "libkeybinder"})
    EXPECT_EQ(libraries.find(desktop), std::string::npos) << desktop << " in\n" << libraries;
}

TEST_F(WorkerProcessHostTest, AnyDigestIsTakenWhenNoneIsExpected) {
  auto worker = WorkerProcessHost::Start(LeanWorker(), page_, "", Sink());
  ASSERT_NE(worker, nullptr);
  EXPECT_EQ(worker->ScriptsDigest(), digest_);
}

TEST_F(WorkerProcessHostTest, IsNotUsedWhenItCannotStartOrRunsOtherScripts) {
  EXPECT_EQ(WorkerProcessHost::Start(TARN_BINARY, page_, "other digest", Sink()), nullptr);
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(WorkerProcessHost::Start((dir_ / "no-such-tarn").string(), page_, digest_, Sink()),
            nullptr);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(
      WorkerProcessHost::Start(TARN_BINARY, (dir_ / "missing.html").string(), digest_, Sink()),
      nullptr);
  EXPECT_EQ(messages_.size(), 2u);
}

TEST_F(WorkerProcessHostTest, AWorkerThatDiesFailsEveryCallFromThenOnAndSaysSoOnce) {
  ::setenv("TARN_TEST_WORKER_EXIT_AFTER", "2", 1);
  auto worker = WorkerProcessHost::Start(TARN_BINARY, page_, digest_, Sink());
  ASSERT_NE(worker, nullptr);
  std::string html, error;
  EXPECT_TRUE(worker->CallFunction("markToHtml", {"a"}, &html, &error));
  EXPECT_TRUE(worker->CallFunction("markToHtml", {"b"}, &html, &error));
  EXPECT_FALSE(worker->CallFunction("markToHtml", {"c"}, &html, &error));
  EXPECT_FALSE(worker->HasFunction("markToHtml"));
  EXPECT_FALSE(worker->CallFunction("markToHtml", {"d"}, &html, &error));
  EXPECT_EQ(messages_.size(), 1u);
}

}  // namespace
}  // namespace tarn
