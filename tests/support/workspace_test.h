// WorkspaceTest: a test fixture holding a copy of a fixture workspace in a
// temporary folder, with the real tarn to run on it. End-to-end tests derive
// from it instead of each making their own folder and process.
//
// tmp_ is the temporary folder (removed after the test); ws_ = tmp_ + "/ws"
// is the copy of the fixture. A fixture that cannot be copied fails SetUp.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace tarn {

// What one run of tarn did.
struct TarnOutcome {
  int status = -1;  // exit status; -1 when it did not exit normally
  std::string out;  // standard output
  std::string err;  // standard error
};

class WorkspaceTest : public ::testing::Test {
 protected:
  // fixture: a folder relative to the source tree.
  explicit WorkspaceTest(std::string fixture = "tests/fixtures/build/blog")
      : fixture_(std::move(fixture)) {}

  void SetUp() override;
  void TearDown() override;

  // Runs `ENV tarn -w WORKSPACE ARGUMENTS` through /bin/sh and waits for it.
  // arguments and env are shell text: the caller quotes what needs it.
  TarnOutcome RunTarn(const std::string& workspace, const std::string& arguments,
                      const std::string& env = "");

  // The text of a file of the workspace copy ("" and a test failure when
  // it cannot be read), a file written there (folders made as needed), and
  // whether a path exists there.
  std::string Read(const std::string& relative);
  void Put(const std::string& relative, const std::string& text);
  bool Exists(const std::string& relative);

  // Replaces the copy's template/ by the one the build ships (the real
  // converter page, markdown-it and its plug-ins), for Markdown the
  // fixtures' stand-in converters do not convert. False, changing
  // nothing, when the build has none (web/node_modules missing).
  bool UseShippedTemplate();

  std::string tmp_;
  std::string ws_;

 private:
  std::string fixture_;
};

}  // namespace tarn
