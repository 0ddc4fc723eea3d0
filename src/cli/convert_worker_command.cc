// tarn convert-worker PAGE: one of the processes a parallel build converts
// posts' Markdown in. It talks to the build over stdin/stdout (see
// script/worker_process_host.h) and is not meant to be run by hand.

#include <unistd.h>

#include <cstdio>

#include "cli/command.h"
#include "script/worker_process_host.h"

namespace tarn {
namespace {

int RunConvertWorker(const CommandContext& context) {
  return WorkerProcessHost::Serve(context.args.words().front(), STDIN_FILENO, STDOUT_FILENO);
}

const Command kConvertWorker(
    "convert-worker", "convert-worker PAGE", "(internal) convert Markdown for a parallel build",
    RunConvertWorker, {.min_words = 1, .max_words = 1, .keep_unknown = true, .extra_word = nullptr},
    false);

}  // namespace
}  // namespace tarn
