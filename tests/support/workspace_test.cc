#include "support/workspace_test.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "data/text_file.h"

namespace tarn {

namespace fs = std::filesystem;

void WorkspaceTest::SetUp() {
  char pattern[] = "/tmp/tarn-ws-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  tmp_ = pattern;
  ws_ = tmp_ + "/ws";
  std::error_code ec;
  fs::copy(fs::path(TARN_SOURCE_DIR) / fixture_, ws_, fs::copy_options::recursive, ec);
  ASSERT_FALSE(ec) << "cannot copy " << fixture_ << ": " << ec.message();
}

void WorkspaceTest::TearDown() {
  std::error_code ec;
  fs::remove_all(tmp_, ec);
}

TarnOutcome WorkspaceTest::RunTarn(const std::string& workspace, const std::string& arguments,
                                   const std::string& env) {
  std::string command = (env.empty() ? "" : env + " ") + "'" + std::string(TARN_BINARY) + "' -w '" +
                        workspace + "' " + arguments + " >'" + tmp_ + "/out' 2>'" + tmp_ + "/err'";
  TarnOutcome outcome;
  int raw = std::system(command.c_str());
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  ReadTextFile(tmp_ + "/out", &outcome.out);
  ReadTextFile(tmp_ + "/err", &outcome.err);
  return outcome;
}

std::string WorkspaceTest::Read(const std::string& relative) {
  std::string text;
  EXPECT_TRUE(ReadTextFile(ws_ + "/" + relative, &text)) << relative;
  return text;
}

void WorkspaceTest::Put(const std::string& relative, const std::string& text) {
  fs::create_directories(fs::path(ws_ + "/" + relative).parent_path());
  ASSERT_TRUE(WriteTextFile(ws_ + "/" + relative, text)) << relative;
}

bool WorkspaceTest::Exists(const std::string& relative) { return fs::exists(ws_ + "/" + relative); }

bool WorkspaceTest::UseShippedTemplate() {
  fs::path shipped = fs::path(TARN_BUILD_DIR) / "template";
  if (!fs::exists(shipped / "vendor" / "markdown-it.min.js")) return false;
  fs::remove_all(ws_ + "/template");
  fs::copy(shipped, ws_ + "/template", fs::copy_options::recursive);
  return true;
}

}  // namespace tarn
