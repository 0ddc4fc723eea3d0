// tarn gui: the desktop program.

#include <cstdio>

#include "cli/command.h"

#ifdef TARN_HAVE_GUI
namespace tarn {
int RunDesktop(const CommandContext& context);
}
#endif

namespace tarn {
namespace {

int RunGui(const CommandContext& context) {
#ifdef TARN_HAVE_GUI
  return RunDesktop(context);
#else
  (void)context;
  std::fprintf(stderr, "tarn: this build has no desktop program; use tarn build\n");
  return 1;
#endif
}

const Command kGui("gui", "gui", "start the desktop program (the default)", RunGui, false);

}  // namespace
}  // namespace tarn
