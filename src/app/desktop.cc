// The desktop program's entry point.

#include <cstdio>

#include "cli/command.h"

namespace tarn {

int RunDesktop(const CommandContext& context) {
  (void)context;
  std::fprintf(stderr, "tarn: the desktop program is not built yet\n");
  return 1;
}

}  // namespace tarn
