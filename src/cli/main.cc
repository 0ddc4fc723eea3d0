// tarn: the command line and the desktop program's entry point.

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/command.h"

namespace {

std::string ExecutableFolder() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path(ec).string();
  return exe.parent_path().string();
}

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
               "  -w, --workspace DIR          the workspace (default: the folder of tarn)\n"
               "  -h, --help                   this text\n"
               "      --version                the version\n");
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
  if (context.workspace.empty()) {
    context.workspace = ExecutableFolder();
  } else {
    std::error_code ec;
    std::filesystem::path abs = std::filesystem::absolute(context.workspace, ec);
    if (!ec) context.workspace = abs.lexically_normal().string();
  }
  while (context.workspace.size() > 1 && context.workspace.back() == '/')
    context.workspace.pop_back();
  context.args = rest;

  if (command_name.empty()) command_name = "gui";
  const tarn::Command* command = tarn::Command::Find(command_name);
  if (!command) {
    std::fprintf(stderr, "tarn: unknown command '%s'\n\n", command_name.c_str());
    PrintUsage(stderr);
    return tarn::kUsageError;
  }
  return command->Execute(context);
}
