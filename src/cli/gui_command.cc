// tarn gui and tarn show: the desktop program. It is an executable of its
// own, tarn-desktop beside tarn, so that every other command loads only the
// core libraries; these commands replace this process with it (same process
// id, environment and standard streams, so a desktop's startup id and a
// caller waiting on the process see no difference).

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/command.h"
#include "workspace/workspace_locator.h"

namespace tarn {
namespace {

// Replaces this process with the desktop program in mode ("gui" or
// "show"). Returns only when it cannot be started: 1, with the reason on
// stderr (a build without the desktop program says so).
int StartDesktop(const CommandContext& context, const char* mode) {
  std::string desktop = WorkspaceLocator::ExecutableFolder() + "/tarn-desktop";
  // Only a folder the user named is passed on: the desktop program finds
  // the others itself, as tarn did, and remembers only those it opens.
  std::vector<std::string> words = {"tarn", mode};
  if (context.workspace_source == WorkspaceLocator::Source::kExplicit) {
    words.push_back("-w");
    words.push_back(context.workspace);
  }
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  std::fflush(stdout);
  ::execv(desktop.c_str(), argv.data());
  if (errno == ENOENT)
    std::fprintf(stderr, "tarn: this build has no desktop program; use tarn build\n");
  else
    std::fprintf(stderr, "tarn: cannot start the desktop program %s: %s\n", desktop.c_str(),
                 std::strerror(errno));
  return 1;
}

int RunGui(const CommandContext& context) { return StartDesktop(context, "gui"); }
int RunShow(const CommandContext& context) { return StartDesktop(context, "show"); }

// Arguments beyond the common options are let be.
const Command kGui("gui", "gui", "start the desktop program (the default)", RunGui,
                   {.max_words = OptionParser::kAnyNumber, .keep_unknown = true}, false);
const Command kShow("show", "show",
                    "show the desktop program's window (start it when it does not run)", RunShow,
                    {.usage_after_message = false}, false);

}  // namespace
}  // namespace tarn
