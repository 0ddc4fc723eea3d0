// tarn-convert-worker: the process a build converts posts' Markdown in,
// installed beside tarn. It runs exactly what `tarn convert-worker PAGE`
// runs, but links only the site generator's script engine, not the desktop
// program's libraries, so each worker starts in a fraction of the time.
// It talks over stdin/stdout (see script/worker_process_host.h) and is not
// meant to be run by hand.

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
