// Desktop: the desktop program as a whole. It creates the program's single
// objects (the site builder, the git deployer, the console), shows the main
// window, runs the main loop, and takes everything down at exit, or before
// it opens another blog.
#pragma once

#include <memory>

#include "cli/command.h"

namespace tarn {

// Runs the desktop program on the workspace of context; returns the exit
// status: 0 after the main window closed, 1 when no display can be opened
// or the workspace folder does not exist or cannot be written (with the
// reason on stderr). When the workspace is only the default one and holds
// no blog, it first asks where to make one (FirstStartDialog); the blog it
// opens is remembered as the one to open next time. When the desktop
// program already runs on that blog (SingleInstance), that program shows its
// main window and this call returns 0 at once.
int RunDesktop(const CommandContext& context);

}  // namespace tarn
