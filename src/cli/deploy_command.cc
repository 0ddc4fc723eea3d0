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
#include "workspace/workspace.h"

namespace tarn {
namespace {

int Finish(const DeployOutcome& outcome) {
  std::printf("%s\n", outcome.message.c_str());
  std::fflush(stdout);
  return outcome.ok ? 0 : 1;
}

constexpr OptionRule kOptions[] = {
    {.name = "replace",
     .help = "go on over an earlier site on the remote that public/'s history does not share"},
    {.name = "target",
     .kind = OptionKind::kText,
     .help = "publish only to the target of that name in system.deploy",
     .value_name = "NAME",
     .needs = "the name of a target"},
};

// Both commands' options: --replace, --target.
void SetOptions(Publisher* publisher, const ParsedArgs& args) {
  publisher->set_replace(args.Has("replace"));
  publisher->set_target(args.Text("target"));
}

// Sets git up in public/, reasons and git's output going where the
// commands send them.
void SetUpGit(GitDeployer* git, const Workspace& workspace) {
  git->set_diagnostic_sink(PrintReason);
  git->InitRepository(workspace.public_dir(), StreamToStdout);
}

// With AutoBackup=1 a successful publish is followed by a backup of the
// sources, pushed to system.sourceUrl. A failed backup fails the command:
// the copy the blogger counts on did not leave the machine.
int BackUpAfterPublish(const CommandContext& context, SiteBuilder& site) {
  BackupOutcome backup = AutoBackup::AfterPublish(
      context.workspace, site.config().Setting("system.sourceUrl"), StreamToStdout, PrintReason);
  if (!backup.ok) {
    PrintReason("tarn publish: the site was published, but the backup failed: " + backup.message);
    return 1;
  }
  std::printf("%s\n", backup.message.c_str());
  std::fflush(stdout);
  return 0;
}

int RunPush(const CommandContext& context) {
  // A base.json that cannot be read is reported; the push then stops for
  // want of a deploy URL, after committing, as in the desktop program.
  SiteBuilder site(context.workspace, nullptr, PrintReason);
  site.LoadConfig();
  GitDeployer git;
  SetUpGit(&git, Workspace(context.workspace));
  Publisher publisher(&site, &git, PrintReason);
  SetOptions(&publisher, context.args);
  return Finish(publisher.Push());
}

int RunPublish(const CommandContext& context) {
  Workspace workspace(context.workspace);
  SiteBuilder site(context.workspace, nullptr, PrintReason);
  site.LoadConfig();
  // The desktop program creates the workspace folders at start; here the
  // repository folder is made before git is set up in it.
  std::error_code ec;
  std::filesystem::create_directories(workspace.public_dir(), ec);
  GitDeployer git;
  SetUpGit(&git, workspace);
  Publisher publisher(&site, &git, PrintReason);
  SetOptions(&publisher, context.args);
  // The same build as tarn build's. Without the page it still runs and
  // fails at the first post it cannot convert, saying why.
  publisher.set_build([&site] { return ParallelBuild::Run(&site, {}, PrintReason); });
  int status = Finish(publisher.RenderingAndPush());
  if (status == 0 && AutoBackup::Enabled(context.workspace))
    status = BackUpAfterPublish(context, site);
  return status;
}

const Command kPush("push", "push [--replace] [--target NAME]",
                    "commit public/ and push it to system.deployUrl or system.deploy's targets",
                    RunPush, {.options = kOptions});
const Command kPublish("publish", "publish [--replace] [--target NAME]",
                       "render the site, then commit and push it", RunPublish,
                       {.options = kOptions});

}  // namespace
}  // namespace tarn
