// Desktop: the desktop program as a whole. It creates the program's single
// objects for the blog (its AppState, the site builder, the git deployer,
// the console), shows the main window, runs the main loop, and takes
// everything down, in the reverse order, at exit or before it opens another
// blog. Its thread, the process's main thread, is the user-interface
// thread: every object of src/app is made, used and destroyed on it.
#pragma once

#include <memory>

#include "workspace/workspace_locator.h"

namespace tarn {

// Runs the desktop program on the blog found (its folder, and whether it
// came from -w, the executable's folder, the remembered one or the
// default); returns the exit status: 0 after the main window closed or the
// user quit the first-start question, 1 when no display can be opened, the
// workspace folder does not exist or cannot be written, or the program
// cannot be started again on another blog (with the reason on stderr, and
// in a message box for a folder that cannot be written). When the
// workspace is only the default one and holds no blog, it first asks where
// to make one (FirstStartDialog); the blog it opens is remembered as the
// one to open next time, unless it is the executable's own folder (a
// portable copy). When the desktop program already runs on that blog
// (SingleInstance), that program shows its main window and this call
// returns 0 at once. "Open another blog…" starts the program again on the
// blog chosen (the process is replaced). Call from the main thread, once.
int RunDesktop(const WorkspaceLocator::Choice& blog);

}  // namespace tarn
