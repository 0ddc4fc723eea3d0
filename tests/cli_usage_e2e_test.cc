// The command line through the real tarn: what each command says about a
// malformed command line or a workspace it cannot use, and its exit status.
// Nothing is written in these cases; the texts are the users' and stay.

#include <gtest/gtest.h>

#include <string>

#include "support/workspace_test.h"

namespace tarn {
namespace {

constexpr char kBuildUsage[] =
    "usage: tarn [-w DIR] build [-j N] [--no-cache] [--drafts] [--future]\n";
constexpr char kServeUsage[] = "usage: tarn [-w DIR] serve [--port N] [--drafts] [--future]\n";
constexpr char kInitUsage[] = "usage: tarn init [DIR] [--from URL] [--language TAG]\n";
constexpr char kImportUsage[] = "usage: tarn [-w DIR] import [--section NAME] SITE-FOLDER\n";

struct UsageCase {
  bool missing_workspace;  // -w names a folder that does not exist
  const char* arguments;   // shell text after -w DIR
  int status;
  std::string err;  // all of standard error; DIR stands for the workspace
};

void PrintTo(const UsageCase& c, std::ostream* out) { *out << c.arguments; }

const UsageCase kCases[] = {
    {false, "build foo", 2, std::string("tarn build: unexpected argument 'foo'\n") + kBuildUsage},
    {false, "build -j", 2, std::string("tarn build: -j needs a number\n") + kBuildUsage},
    {false, "build --jobs", 2, std::string("tarn build: --jobs needs a number\n") + kBuildUsage},
    {false, "build --jobs 65", 2,
     std::string("tarn build: -j takes a number from 1 to 64, not '65'\n") + kBuildUsage},
    {false, "build -jx", 2,
     std::string("tarn build: -j takes a number from 1 to 64, not 'x'\n") + kBuildUsage},
    {false, "build --drafts=1", 2,
     std::string("tarn build: unexpected argument '--drafts=1'\n") + kBuildUsage},
    {false, "build -- -j2", 2, std::string("tarn build: unexpected argument '--'\n") + kBuildUsage},
    {false, "build ''", 2, std::string("tarn build: unexpected argument ''\n") + kBuildUsage},
    {false, "build foo -j 0", 2,
     std::string("tarn build: unexpected argument 'foo'\n") + kBuildUsage},
    {false, "build -j -w", 2, "tarn: -w needs a folder\n"},
    {false, "-w '' build", 2, "tarn: -w needs a folder\n"},
    {false, "serve -p", 2, std::string("tarn serve: -p needs a number\n") + kServeUsage},
    {false, "serve --port=70000", 2,
     std::string("tarn serve: '70000' is not a port (0 to 65535)\n") + kServeUsage},
    {false, "serve extra --drafts", 2,
     std::string("tarn serve: unexpected argument 'extra'\n") + kServeUsage},
    {false, "push --replace x", 2,
     "tarn push: unexpected argument 'x'\nusage: tarn [-w DIR] push [--replace] [--target NAME]\n"},
    {false, "push --target", 2,
     "tarn push: --target needs the name of a target\n"
     "usage: tarn [-w DIR] push [--replace] [--target NAME]\n"},
    {false, "publish -r", 2,
     "tarn publish: unexpected argument '-r'\n"
     "usage: tarn [-w DIR] publish [--replace] [--target NAME] [--due] [--force-check]\n"},
    {false, "schedule", 2,
     "tarn schedule: on, off or status is needed\nusage: tarn [-w DIR] schedule on|off|status\n"},
    {false, "schedule now", 2,
     "tarn schedule: 'now' is not on, off or status\nusage: tarn [-w DIR] schedule "
     "on|off|status\n"},
    {false, "check x", 2,
     "tarn check: unexpected argument 'x'\nusage: tarn [-w DIR] check [--external] [--json]\n"},
    {false, "backup --", 2, "tarn backup: unexpected argument '--'\nusage: tarn [-w DIR] backup\n"},
    {false, "show x", 2, "tarn show: unexpected argument 'x'\n"},
    {false, "check-update now", 2,
     "tarn check-update: unexpected argument now\nusage: tarn check-update\n"},
    {false, "init a b", 2, std::string("tarn init: one folder only\n") + kInitUsage},
    {false, "init --from", 2,
     std::string("tarn init: --from needs the URL of a backup\n") + kInitUsage},
    {false, "init --from ''", 2,
     std::string("tarn init: --from needs the URL of a backup\n") + kInitUsage},
    {false, "init -x a", 2, std::string("tarn init: unknown option '-x'\n") + kInitUsage},
    {false, "init --language", 2,
     std::string("tarn init: --language needs a language tag\n") + kInitUsage},
    {false, "init --language english", 2,
     std::string("tarn init: --language english is not a language tag; write one such as en, "
                 "en-GB or zh-CN\n") +
         kInitUsage},
    {false, "init --language en --from /srv/b.git", 2,
     std::string("tarn init: --language en is for a new blog; --from restores one as it was\n") +
         kInitUsage},
    {false, "init elsewhere", 2,
     std::string("tarn init: -w and DIR name different folders\n") + kInitUsage},
    {false, "new", 2, "tarn new: a title is needed\nusage: tarn [-w DIR] new TITLE\n"},
    {false, "new ../x", 2, "tarn new: ../x: a title must not start with a dot\n"},
    {false, "import", 2, kImportUsage},
    {false, "import a b", 2, kImportUsage},
    {false, "import --", 2, kImportUsage},
    {false, "import ''", 2, kImportUsage},
    {false, "convert-worker", 2, "usage: tarn convert-worker PAGE\n"},
    {false, "convert-worker a b", 2, "usage: tarn convert-worker PAGE\n"},
    // A workspace given with -w that does not exist: the usage first.
    {true, "build", 1, "tarn build: DIR: no such workspace folder\n"},
    {true, "serve", 1, "tarn serve: DIR: no such workspace folder\n"},
    {true, "push", 1, "tarn push: DIR: no such workspace folder\n"},
    {true, "publish --replace", 1, "tarn publish: DIR: no such workspace folder\n"},
    {true, "backup", 1, "tarn backup: DIR: no such workspace folder\n"},
    {true, "new Title", 1, "tarn new: DIR: no such workspace folder\n"},
    {true, "import .", 1, "tarn import: DIR: no such workspace folder\n"},
    {true, "build -j 0", 2,
     std::string("tarn build: -j takes a number from 1 to 64, not '0'\n") + kBuildUsage},
    {true, "new", 2, "tarn new: a title is needed\nusage: tarn [-w DIR] new TITLE\n"},
};

class UsageTest : public WorkspaceTest, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(UsageTest, SaysWhatIsWrongAndExits) {
  const UsageCase& c = GetParam();
  std::string workspace = c.missing_workspace ? tmp_ + "/none" : ws_;
  TarnOutcome outcome = RunTarn(workspace, c.arguments);
  std::string err = c.err;
  if (std::size_t at = err.find("DIR:"); at != std::string::npos) err.replace(at, 3, workspace);
  EXPECT_EQ(outcome.status, c.status);
  EXPECT_EQ(outcome.err, err);
  EXPECT_EQ(outcome.out, "");
  EXPECT_FALSE(Exists("public"));
}

INSTANTIATE_TEST_SUITE_P(Commands, UsageTest, ::testing::ValuesIn(kCases));

class CommandLineTest : public WorkspaceTest {};

// --help and --version act wherever they stand, "--" included; the first
// word names the command.
TEST_F(CommandLineTest, HelpAndVersionStandAnywhere) {
  TarnOutcome help = RunTarn(ws_, "build -j 0 -- --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: tarn [-w DIR] [COMMAND] [ARGS...]\n", 0), 0u) << help.out;
  EXPECT_NE(help.out.find("\n      --version                the version\n"), std::string::npos);
  TarnOutcome version = RunTarn(ws_, "new a --version b");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "tarn " TARN_VERSION "\n");
  EXPECT_FALSE(Exists("_posts/a b.md"));

  TarnOutcome unknown = RunTarn(ws_, "--drafts bogus build");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.err.rfind("tarn: unknown command 'bogus'\n\nusage: tarn", 0), 0u)
      << unknown.err;
}

// A title's words are taken as they are, "--" and dashes too; the
// workspace options around them are not.
TEST_F(CommandLineTest, TitleWordsMayStartWithADash) {
  TarnOutcome made = RunTarn("/nowhere", "new -x -- y -w '" + ws_ + "'");
  EXPECT_EQ(made.status, 0) << made.err;
  EXPECT_EQ(made.out, ws_ + "/_posts/-x -- y.md\n");
}

}  // namespace
}  // namespace tarn
