// tarn-convert-worker: a process a parallel build converts posts' Markdown
// in, installed beside tarn, which looks for it there (and falls back to
// `tarn convert-worker PAGE`). It runs exactly what that command runs, but
// links only tarn's core library, not the desktop program's GTK and WebKit
// libraries, so each worker starts in a fraction of the time. It talks
// over stdin/stdout (see script/worker_process_host.h), exits with what
// WorkerProcessHost::Serve returns (2 for a malformed command line), and is
// not meant to be run by hand.

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "script/worker_process_host.h"

int main(int argc, char** argv) {
  // The same arguments as tarn's command, so either executable can be started.
  if (argc != 3 || std::strcmp(argv[1], "convert-worker") != 0) {
    std::fprintf(stderr,
                 "usage: %s convert-worker PAGE\n(started by tarn build; not meant "
                 "to be run by hand)\n",
                 argc > 0 ? argv[0] : "tarn-convert-worker");
    return 2;
  }
  return tarn::WorkerProcessHost::Serve(argv[2], STDIN_FILENO, STDOUT_FILENO);
}
