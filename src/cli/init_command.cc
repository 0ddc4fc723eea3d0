// tarn init [DIR]: makes a complete, working blog in DIR (default: the
// current folder) from the blog bundled with tarn: config/, the default
// theme, the program's pages with their libraries, a welcome post and a
// .gitignore. With --from URL it restores a blog backed up with tarn backup
// (a GitCloneSource) instead. Sources of a first blog are SkeletonSources.
// Interrupted (SIGINT, SIGTERM, SIGHUP), it leaves nothing behind.
//
// The new blog is in the system's language (LC_ALL, LC_MESSAGES, LANG), or
// in the one --language names: the bundled Chinese demo for Chinese, C,
// POSIX and no language at all; the English demo, its system.language the
// tag, for English and any language without a demo of its own.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "cli/command.h"
#include "data/language_tag.h"
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
    {.name = "language",
     .kind = OptionKind::kText,
     .help = "make the blog in this language (a tag such as en, en-GB or zh-CN)\n"
             "instead of the system's",
     .value_name = "TAG",
     .needs = "a language tag"},
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

// The language of the new blog: --language's, checked, else the system's.
// Returns false after a usage error.
bool LanguageOf(const CommandContext& context, std::string* language) {
  const std::string asked = context.args.Text("language");
  if (asked.empty()) {
    *language = BundledSkeleton::SystemLanguage(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"),
                                                std::getenv("LANG"));
    return true;
  }
  *language = LanguageTag::Checked(asked);
  const char* wrong = nullptr;
  if (language->empty()) wrong = "is not a language tag; write one such as en, en-GB or zh-CN";
  if (context.args.Has("from")) wrong = "is for a new blog; --from restores one as it was";
  if (wrong == nullptr) return true;
  std::fprintf(stderr, "tarn init: --language %s %s\n%s", asked.c_str(), wrong,
               context.usage_line.c_str());
  return false;
}

int RunInit(const CommandContext& context) {
  std::string from = context.args.Text("from");
  std::string target = TargetOf(context);
  if (target.empty()) return kUsageError;
  std::string language;
  if (!LanguageOf(context, &language)) return kUsageError;
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
    source = std::make_unique<BundledSkeleton>(skeleton, language);
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
  const std::string demo = from.empty() ? BundledSkeleton::DemoLanguage(skeleton, language) : "";
  if (!demo.empty() && demo != LanguageTag::Language(language))
    std::printf(
        "There is no demo blog in %s: its posts and settings are the English demo's, and its "
        "pages use the theme's English texts where it has none in %s (system.language is %s)\n",
        language.c_str(), language.c_str(), language.c_str());
  std::fflush(stdout);
  // A signal that came while the finished blog was moved into place.
  interrupt.Reraise();
  return 0;
}

const Command kInit("init", "init [DIR] [--from URL] [--language TAG]",
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
