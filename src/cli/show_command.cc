// tarn show: shows the desktop program's main window, as Alt+B does: the
// program running on the workspace is asked over the session bus (no
// display needed for that); when none runs, the program starts here.

#include <cstdio>
#include <string>

#include "cli/command.h"

#ifdef TARN_HAVE_GUI
#include "app/single_instance.h"
#endif

namespace tarn {
namespace {

int RunShow(const CommandContext& context) {
#ifdef TARN_HAVE_GUI
  std::string error;
  if (SingleInstance::ActivateRunning(context.workspace, &error)) return 0;
  if (!error.empty()) {
    std::fprintf(stderr, "tarn: %s\n", error.c_str());
    return 1;
  }
#endif
  return StartDesktop(context);
}

const Command kShow("show", "show",
                    "show the desktop program's window (start it when it does not run)", RunShow,
                    {.usage_after_message = false}, false);

}  // namespace
}  // namespace tarn
