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
#include "cli/publish_check.h"
#include "content/clock.h"
#include "deploy/auto_backup.h"
#include "deploy/git_deployer.h"
#include "deploy/publisher.h"
#include "deploy/scheduled_publish.h"
#include "render/parallel_build.h"
#include "render/site_builder.h"
#include "workspace/workspace.h"

namespace tarn {
namespace {

void PrintLine(const std::string& text) {
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

int Finish(const DeployOutcome& outcome) {
  std::printf("%s\n", outcome.message.c_str());
  std::fflush(stdout);
  return outcome.ok ? 0 : 1;
}

constexpr OptionRule kReplace = {
    .name = "replace",
    .help = "go on over an earlier site on the remote that public/'s history does not share"};
constexpr OptionRule kTarget = {.name = "target",
                                .kind = OptionKind::kText,
                                .help = "publish only to the target of that name in system.deploy",
                                .value_name = "NAME",
                                .needs = "the name of a target"};
constexpr OptionRule kOptions[] = {kReplace, kTarget};
constexpr OptionRule kPublishOptions[] = {
    kReplace,
    kTarget,
    {.name = "due",
     .help = "publish only when a scheduled post has become due since the last publish"},
    {.name = "force-check", .help = "publish even when the check after the build finds errors"},
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

// The publish itself; *message gets its outcome. Returns the exit status.
int Publish(const CommandContext& context, std::string* message) {
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
  // fails at the first post it cannot convert, saying why. Then tarn
  // check's internal part, which stops the publish on errors unless forced;
  // a scheduled run (--due) has no one to ask, so it publishes and keeps
  // what the check found in its log.
  const bool due = context.args.Has("due");
  bool check_stopped = false;
  std::string found;
  publisher.set_build([&] {
    if (!ParallelBuild::Run(&site, {.first_engine = true}, PrintReason)) return false;
    check_stopped = PublishCheckStops(workspace, due || context.args.Has("force-check"), &found);
    return !check_stopped;
  });
  DeployOutcome outcome = publisher.RenderingAndPush();
  *message = outcome.message;
  if (!found.empty()) *message += " (" + found + ")";
  if (check_stopped) return 1;
  int status = Finish(outcome);
  if (status == 0 && AutoBackup::Enabled(context.workspace))
    status = BackUpAfterPublish(context, site);
  return status;
}

int RunPublish(const CommandContext& context) {
  ScheduledPublish run(Workspace(context.workspace), Clock::Now(), PrintLine, PrintReason);
  return run.Run(context.args.Has("due"),
                 [&context](std::string* message) { return Publish(context, message) == 0; });
}

const Command kPush("push", "push [--replace] [--target NAME]",
                    "commit public/ and push it to system.deployUrl or system.deploy's targets",
                    RunPush, {.options = kOptions});
const Command kPublish("publish", "publish [--replace] [--target NAME] [--due] [--force-check]",
                       "render and check the site, then commit and push it", RunPublish,
                       {.options = kPublishOptions});

}  // namespace
}  // namespace tarn
