// tarn-desktop: the desktop program. `tarn`, `tarn gui` and `tarn show`
// replace themselves with it, and it starts itself again to open another
// blog; only this executable loads GTK and WebKit, so the command line
// stays lean. It finds the blog as tarn does (it lives beside tarn, so the
// executable's folder is the same), and runs the conversion worker's
// command too, for a build that finds no tarn-convert-worker beside it.
//
//   tarn-desktop gui|show [-w DIR]
//   tarn-desktop convert-worker PAGE
//
// Exit status: the desktop's (see RunDesktop), the worker's, or 2 for a
// command line it does not take.

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/desktop.h"
#include "app/single_instance.h"
#include "data/translation.h"
#include "script/worker_process_host.h"
#include "workspace/workspace_locator.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: tarn-desktop gui|show [-w DIR]\n"
               "(started by tarn; run tarn --help for the commands)\n");
  return 2;
}

// tarn show: the program running on the blog shows its window (no display
// needed for asking); when none runs, it starts here.
int Show(const tarn::WorkspaceLocator::Choice& blog) {
  std::string error;
  if (tarn::SingleInstance::ActivateRunning(blog.path, &error)) return 0;
  if (!error.empty()) {
    std::fprintf(stderr, "tarn: %s\n", error.c_str());
    return 1;
  }
  return tarn::RunDesktop(blog);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "convert-worker") == 0)
    return tarn::WorkerProcessHost::Serve(argv[2], STDIN_FILENO, STDOUT_FILENO);
  tarn::Translation::Start(tarn::WorkspaceLocator::ExecutableFolder());
  std::string mode = argc > 1 ? argv[1] : "gui";
  std::string workspace;
  if (argc == 4 && std::strcmp(argv[2], "-w") == 0)
    workspace = argv[3];
  else if (argc > 2)
    return Usage();
  if (mode != "gui" && mode != "show") return Usage();
  tarn::WorkspaceLocator::Choice blog =
      tarn::WorkspaceLocator(workspace, tarn::WorkspaceLocator::ExecutableFolder()).Locate();
  return mode == "show" ? Show(blog) : tarn::RunDesktop(blog);
}
