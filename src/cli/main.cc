// tarn: the command line and the desktop program's entry point.

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/command.h"

namespace {

void PrintUsage(FILE* out) {
  std::fprintf(out,
               "usage: tarn [-w DIR] [COMMAND] [ARGS...]\n"
               "\n"
               "Tarn Blog Editor: writes, renders and deploys a static blog.\n"
               "Without a command the desktop program starts.\n"
               "\n"
               "commands:\n");
  for (const tarn::Command* c : tarn::Command::All())
    std::fprintf(out, "  %-28s %s\n", c->usage(), c->summary());
  std::fprintf(out,
               "\n"
               "options:\n"
               "  -w, --workspace DIR          the blog (default: tarn's own folder when it\n"
               "                               holds one, else the one opened last, else\n"
               "                               \"Tarn Blog\" in the documents folder)\n"
               "  -h, --help                   this text\n"
               "      --version                the version\n");
}

// Finds the workspace and runs command on it, unless the command needs one
// and the folder found is no blog or cannot be written.
int RunOnWorkspace(const tarn::Command& command, tarn::CommandContext& context) {
  using tarn::WorkspaceLocator;
  WorkspaceLocator::Choice choice =
      WorkspaceLocator(context.workspace, WorkspaceLocator::ExecutableFolder()).Locate();
  context.workspace = choice.path;
  context.workspace_source = choice.source;
  if (!command.needs_workspace()) return command.Execute(context);
  bool found = choice.source != WorkspaceLocator::Source::kExplicit;
  std::string error;
  if (!WorkspaceLocator::CheckUsable(choice.path, found, &error)) {
    std::fprintf(stderr, "tarn: %s\n", error.c_str());
    if (found && !WorkspaceLocator::HoldsWorkspace(choice.path)) {
      std::fprintf(stderr, "Make a blog there with: tarn init '%s'\n", choice.path.c_str());
    }
    return 1;
  }
  return command.Execute(context);
}

}  // namespace

int main(int argc, char** argv) {
  tarn::CommandContext context;
  std::string command_name;
  std::vector<std::string> rest;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      PrintUsage(stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("tarn %s\n", TARN_VERSION);
      return 0;
    }
    if (arg == "-w" || arg == "--workspace") {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "tarn: %s needs a folder\n", arg.c_str());
        return tarn::kUsageError;
      }
      context.workspace = argv[++i];
      continue;
    }
    if (arg.rfind("--workspace=", 0) == 0) {
      context.workspace = arg.substr(12);
      continue;
    }
    if (command_name.empty() && !arg.empty() && arg[0] != '-') {
      command_name = arg;
      continue;
    }
    rest.push_back(arg);
  }
  context.args = rest;

  if (command_name.empty()) command_name = "gui";
  const tarn::Command* command = tarn::Command::Find(command_name);
  if (!command) {
    std::fprintf(stderr, "tarn: unknown command '%s'\n\n", command_name.c_str());
    PrintUsage(stderr);
    return tarn::kUsageError;
  }
  return RunOnWorkspace(*command, context);
}
