// The command line's messages in the system's language: the source texts
// (the program's Chinese messages) in a C, C.UTF-8 or Chinese locale, the
// English catalogue's in an English one. An English locale that the
// machine has not generated leaves gettext in C; those cases skip, saying
// so (scripts/setup.sh generates en_US.UTF-8 and zh_CN.UTF-8).

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <string>

#include "support/workspace_test.h"

namespace tarn {
namespace {

struct LocaleCase {
  const char* env;      // the locale variables tarn runs with
  const char* locale;   // the locale that must exist for the case to mean anything
  const char* built;    // tarn build's last line
  const char* refusal;  // tarn push's refusal in a blog without a deploy address
};

constexpr LocaleCase kCases[] = {
    {"LANG=C", "C", "渲染完成\n", "推送地址未设置，无法推送"},
    {"LANG=C.UTF-8", "C.UTF-8", "渲染完成\n", "推送地址未设置，无法推送"},
    {"LANG=zh_CN.UTF-8", "zh_CN.UTF-8", "渲染完成\n", "推送地址未设置，无法推送"},
    {"LANG=en_US.UTF-8", "en_US.UTF-8", "Build complete\n",
     "No deploy address is set (system.deployUrl); nothing was pushed"},
    // LC_ALL comes before LANG, as for every locale category.
    {"LANG=zh_CN.UTF-8 LC_ALL=en_US.UTF-8", "en_US.UTF-8", "Build complete\n",
     "No deploy address is set (system.deployUrl); nothing was pushed"},
    {"LANG=en_US.UTF-8 LC_ALL=C.UTF-8", "en_US.UTF-8", "渲染完成\n", "推送地址未设置，无法推送"},
    // A LANGUAGE list the user sets is gettext's to follow.
    {"LANG=en_US.UTF-8 LANGUAGE=zh_CN", "en_US.UTF-8", "渲染完成\n", "推送地址未设置，无法推送"},
};

bool LocaleExists(const char* name) {
  std::string previous = std::setlocale(LC_MESSAGES, nullptr);
  bool exists = std::setlocale(LC_MESSAGES, name) != nullptr;
  std::setlocale(LC_MESSAGES, previous.c_str());
  return exists;
}

class MessagesLanguageTest : public WorkspaceTest {};

TEST_F(MessagesLanguageTest, BuildAndPushSpeakTheSystemsLanguage) {
  for (const LocaleCase& c : kCases) {
    SCOPED_TRACE(c.env);
    if (!LocaleExists(c.locale)) {
      std::printf(
          "skipped %s: the locale %s is not generated on this machine "
          "(scripts/setup.sh test generates it)\n",
          c.env, c.locale);
      continue;
    }
    std::string env = std::string("LANGUAGE= LC_MESSAGES= LC_ALL= ") + c.env;
    TarnOutcome built = RunTarn(ws_, "build", env);
    ASSERT_EQ(built.status, 0) << built.err;
    EXPECT_EQ(built.out.substr(built.out.size() - std::string(c.built).size()), c.built);

    TarnOutcome pushed = RunTarn(ws_, "push", env);
    EXPECT_NE(pushed.status, 0);
    EXPECT_NE(pushed.out.find(c.refusal), std::string::npos) << pushed.out << pushed.err;
  }
}

}  // namespace
}  // namespace tarn
