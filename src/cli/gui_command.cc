// tarn gui: the desktop program.

#include <cstdio>

#include "cli/command.h"

#ifdef TARN_HAVE_GUI
#include "app/desktop.h"
#endif

namespace tarn {

int StartDesktop(const CommandContext& context) {
#ifdef TARN_HAVE_GUI
  return RunDesktop({context.workspace, context.workspace_source});
#else
  (void)context;
  std::fprintf(stderr, "tarn: this build has no desktop program; use tarn build\n");
  return 1;
#endif
}

namespace {

// Arguments beyond the common options are let be.
const Command kGui("gui", "gui", "start the desktop program (the default)", StartDesktop,
                   {.max_words = OptionParser::kAnyNumber, .keep_unknown = true}, false);

}  // namespace
}  // namespace tarn
