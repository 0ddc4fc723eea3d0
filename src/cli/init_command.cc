// tarn init [DIR]: makes a complete, working blog in DIR (default: the
// current folder) from the blog bundled with tarn: config/, the default
// theme, the program's pages with their libraries, a welcome post and a
// .gitignore. With --from URL it restores a blog backed up with tarn backup
// (a GitCloneSource) instead. Sources of a first blog are SkeletonSources.
// Interrupted (SIGINT, SIGTERM, SIGHUP), it leaves nothing behind.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/command.h"
#include "deploy/git_clone_source.h"
#include "deploy/interrupt_flag.h"
#include "workspace/bundled_skeleton.h"
#include "workspace/workspace_creator.h"
#include "workspace/workspace_locator.h"

namespace tarn {
namespace {

constexpr OptionRule kOptions[] = {
    {.name = "from",
     .kind = OptionKind::kText,
     .help = "restore the blog backed up there with tarn backup",
     .value_name = "URL",
     .needs = "the URL of a backup"},
};

// Where the blog goes: DIR, else the folder given with -w, else the
// current folder. Returns "" after a usage error.
std::string TargetOf(const CommandContext& context) {
  const std::vector<std::string>& words = context.args.words();
  std::string target = words.empty() ? "" : words.front();
  bool explicit_workspace = context.workspace_source == WorkspaceLocator::Source::kExplicit;
  if (!target.empty() && explicit_workspace &&
      WorkspaceLocator::Absolute(target) != context.workspace) {
    std::fprintf(stderr, "tarn init: -w and DIR name different folders\n%s",
                 context.usage_line.c_str());
    return "";
  }
  if (target.empty()) target = explicit_workspace ? context.workspace : ".";
  return WorkspaceLocator::Absolute(target);
}

int RunInit(const CommandContext& context) {
  std::string from = context.args.Text("from");
  std::string target = TargetOf(context);
  if (target.empty()) return kUsageError;
  std::string skeleton = BundledSkeleton::Find(WorkspaceLocator::ExecutableFolder());
  if (skeleton.empty()) {
    std::fprintf(stderr,
                 "tarn init: the bundled blog is missing (looked in %s and %s beside tarn); "
                 "reinstall tarn\n",
                 BundledSkeleton::kInstalledPath, BundledSkeleton::kBuildTreePath);
    return 1;
  }
  // Ctrl+C, kill or a closed terminal stops the clone and takes the half
  // made blog away before tarn ends by that signal.
  InterruptFlag interrupt;
  std::unique_ptr<SkeletonSource> source;
  if (from.empty())
    source = std::make_unique<BundledSkeleton>(skeleton);
  else
    source = std::make_unique<GitCloneSource>(from, skeleton, StreamToStdout, interrupt.flag());
  std::string error;
  if (!WorkspaceCreator::Create(target, *source, &error, interrupt.flag())) {
    if (interrupt.signal() != 0)
      std::fprintf(stderr, "tarn init: interrupted; %s is as it was\n", target.c_str());
    else
      std::fprintf(stderr, "tarn init: %s\n", error.c_str());
    std::fflush(stderr);
    interrupt.Reraise();
    return 1;
  }
  // The first blog becomes the one tarn opens without -w; a later one does
  // not take the place of a blog that is still there.
  if (WorkspaceLocator::Remembered().empty() ||
      !WorkspaceLocator::HoldsWorkspace(WorkspaceLocator::Remembered())) {
    if (!WorkspaceLocator::Remember(target, &error))
      std::fprintf(stderr, "tarn init: cannot remember the new blog: %s\n", error.c_str());
  }
  std::printf(
      "Created a blog in %s\n"
      "Open it in the desktop program with: tarn -w '%s'\n"
      "or render it into public/ with:      tarn -w '%s' build\n",
      target.c_str(), target.c_str(), target.c_str());
  std::fflush(stdout);
  // A signal that came while the finished blog was moved into place.
  interrupt.Reraise();
  return 0;
}

const Command kInit("init", "init [DIR] [--from URL]",
                    "make a new blog in DIR (default: the current folder), or restore one "
                    "backed up to URL",
                    RunInit,
                    {.options = kOptions,
                     .max_words = 1,
                     .unknown_option = "unknown option '{}'",
                     .extra_word = "one folder only"},
                    false);

}  // namespace
}  // namespace tarn
