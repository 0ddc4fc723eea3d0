// tarn push and tarn publish: the manager page's Push and RenderingAndPush
// commands without a window. git's output streams to standard output as it
// arrives, the outcome message follows it; reasons that are not git's go to
// standard error. Both stop before laying the site over an earlier one on
// the remote that public/'s history does not share; --replace goes on,
// keeping that site in the history.

#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/command.h"
#include "deploy/auto_backup.h"
#include "deploy/git_deployer.h"
#include "deploy/publisher.h"
#include "render/parallel_build.h"
#include "render/site_builder.h"

namespace tarn {
namespace {

int Finish(const DeployOutcome& outcome) {
  std::printf("%s\n", outcome.message.c_str());
  std::fflush(stdout);
  return outcome.ok ? 0 : 1;
}

constexpr char kReplace[] = "--replace";

// 0 when the command line and the workspace are fine, else the exit status.
// *replace tells whether --replace was given.
int CheckContext(const CommandContext& context, const char* name, bool* replace) {
  *replace = false;
  for (const std::string& arg : context.args) {
    if (arg == kReplace) {
      *replace = true;
      continue;
    }
    std::fprintf(stderr, "tarn %s: unexpected argument '%s'\nusage: tarn [-w DIR] %s [%s]\n", name,
                 arg.c_str(), name, kReplace);
    return kUsageError;
  }
  std::error_code ec;
  if (!std::filesystem::is_directory(context.workspace, ec)) {
    std::fprintf(stderr, "tarn %s: %s: no such workspace folder\n", name,
                 context.workspace.c_str());
    return 1;
  }
  return 0;
}

// With AutoBackup=1 a successful publish is followed by a backup of the
// sources, pushed to system.sourceUrl. A failed backup fails the command:
// the copy the blogger counts on did not leave the machine.
int BackUpAfterPublish(const CommandContext& context, SiteBuilder& site) {
  BackupOutcome backup =
      AutoBackup::AfterPublish(context.workspace, site.config().Setting("system.sourceUrl"),
                               StreamToStdout, PrintReason);
  if (!backup.ok) {
    PrintReason("tarn publish: the site was published, but the backup failed: " + backup.message);
    return 1;
  }
  std::printf("%s\n", backup.message.c_str());
  std::fflush(stdout);
  return 0;
}

int RunPush(const CommandContext& context) {
  bool replace = false;
  if (int status = CheckContext(context, "push", &replace)) return status;
  // A base.json that cannot be read is reported; the push then stops for
  // want of a deploy URL, after committing, as in the desktop program.
  SiteBuilder site(context.workspace, nullptr, PrintReason);
  site.LoadConfig();
  GitDeployer git;
  git.set_diagnostic_sink(PrintReason);
  git.InitRepository(context.workspace + "/public", StreamToStdout);
  Publisher publisher(&site, &git, PrintReason);
  publisher.set_replace(replace);
  return Finish(publisher.Push());
}

int RunPublish(const CommandContext& context) {
  bool replace = false;
  if (int status = CheckContext(context, "publish", &replace)) return status;
  SiteBuilder site(context.workspace, nullptr, PrintReason);
  site.LoadConfig();
  // The desktop program creates the workspace folders at start; here the
  // repository folder is made before git is set up in it.
  std::error_code ec;
  std::filesystem::create_directories(context.workspace + "/public", ec);
  GitDeployer git;
  git.set_diagnostic_sink(PrintReason);
  git.InitRepository(context.workspace + "/public", StreamToStdout);
  Publisher publisher(&site, &git, PrintReason);
  publisher.set_replace(replace);
  // The same build as tarn build's. Without the page it still runs and
  // fails at the first post it cannot convert, saying why.
  publisher.set_build([&site] { return ParallelBuild::Run(&site, {}, PrintReason); });
  int status = Finish(publisher.RenderingAndPush());
  if (status == 0 && AutoBackup::Enabled(context.workspace))
    status = BackUpAfterPublish(context, site);
  return status;
}

const Command kPush("push", "push [--replace]", "commit public/ and push it to system.deployUrl",
                    RunPush);
const Command kPublish("publish", "publish [--replace]", "render the site, then commit and push it",
                       RunPublish);

}  // namespace
}  // namespace tarn
