// tarn: the command line and the desktop program's entry point.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/option_parser.h"
#include "data/translation.h"

namespace {

using tarn::OptionParser;

// The options a command line may hold anywhere, before or after the
// command's name. The rest (unknown options too) is the command's to read.
constexpr tarn::OptionRule kCommonOptions[] = {
    {.name = "workspace",
     .short_name = 'w',
     .kind = tarn::OptionKind::kText,
     .help = "the blog (default: tarn's own folder when it\n"
             "holds one, else the one opened last, else\n"
             "\"Tarn Blog\" in the documents folder)",
     .value_name = "DIR",
     .needs = "a folder"},
    {.name = "help", .short_name = 'h', .help = "this text", .stops = true},
    {.name = "version", .help = "the version", .stops = true},
};

const OptionParser& CommonOptions() {
  static const OptionParser parser(
      "tarn",
      {.options = kCommonOptions, .max_words = OptionParser::kAnyNumber, .keep_unknown = true}, "");
  return parser;
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
    std::fprintf(out, "  %-*s %s\n", OptionParser::kListingColumn, c->usage(), c->summary());
  std::fprintf(out, "\noptions:\n%s", CommonOptions().Listing().c_str());
}

// Whether the command may run on the workspace found; says why not.
bool CheckUsable(const tarn::WorkspaceLocator::Choice& choice) {
  using tarn::WorkspaceLocator;
  bool found = choice.source != WorkspaceLocator::Source::kExplicit;
  std::string error;
  if (WorkspaceLocator::CheckUsable(choice.path, found, &error)) return true;
  std::fprintf(stderr, "tarn: %s\n", error.c_str());
  if (found && !WorkspaceLocator::HoldsWorkspace(choice.path))
    std::fprintf(stderr, "Make a blog there with: tarn init '%s'\n", choice.path.c_str());
  return false;
}

// Finds the workspace, reads the command's arguments and runs it. A command
// that needs a workspace does not run when the folder found is no blog or
// cannot be written (said before its arguments are read), or when the
// folder given with -w does not exist (said after). Returns the exit status.
int Run(const tarn::Command& command, const std::vector<std::string>& args,
        const std::string& workspace) {
  using tarn::WorkspaceLocator;
  WorkspaceLocator::Choice choice =
      WorkspaceLocator(workspace, WorkspaceLocator::ExecutableFolder()).Locate();
  if (command.needs_workspace() && !CheckUsable(choice)) return 1;
  tarn::CommandContext context;
  context.workspace = choice.path;
  context.workspace_source = choice.source;
  context.usage_line = command.UsageLine();
  std::string error;
  if (!command.ReadArgs(args, &context.args, &error)) {
    std::fputs(error.c_str(), stderr);
    return tarn::kUsageError;
  }
  std::error_code ec;
  if (command.needs_workspace() && !std::filesystem::is_directory(choice.path, ec)) {
    std::fprintf(stderr, "tarn %s: %s: no such workspace folder\n", command.name(),
                 choice.path.c_str());
    return 1;
  }
  return command.Execute(context);
}

}  // namespace

int main(int argc, char** argv) {
  tarn::Translation::Start(tarn::WorkspaceLocator::ExecutableFolder());
  tarn::ParsedArgs common;
  std::string error;
  if (!CommonOptions().Parse({argv + 1, argv + argc}, &common, &error)) {
    std::fputs(error.c_str(), stderr);
    return tarn::kUsageError;
  }
  if (common.Has("help")) {
    PrintUsage(stdout);
    return 0;
  }
  if (common.Has("version")) {
    std::printf("tarn %s\n", TARN_VERSION);
    return 0;
  }
  // The first word names the command; the other arguments are its own.
  std::vector<std::string> args = common.words();
  std::string name = "gui";
  if (auto first = std::find_if(args.begin(), args.end(), OptionParser::IsWord);
      first != args.end()) {
    name = *first;
    args.erase(first);
  }
  const tarn::Command* command = tarn::Command::Find(name);
  if (!command) {
    std::fprintf(stderr, "tarn: unknown command '%s'\n\n", name.c_str());
    PrintUsage(stderr);
    return tarn::kUsageError;
  }
  return Run(*command, args, common.Text("workspace"));
}
