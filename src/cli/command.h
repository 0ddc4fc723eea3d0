// Command: one of the command line's commands. Each command lives in a file
// of its own (src/cli/NAME_command.cc) and registers itself with a static
// Command object, so adding one touches no shared table. main() parses the
// common options (-w DIR, --help, --version), finds the workspace and
// dispatches by name; no command name means "gui".
//
// Thread safety: the registry is filled during static initialisation and
// only read afterwards; commands run on the main thread.
#pragma once

#include <string>
#include <vector>

#include "workspace/workspace_locator.h"

namespace tarn {

struct CommandContext {
  // The workspace root, absolute, without a trailing separator, found as
  // WorkspaceLocator says (-w DIR first).
  std::string workspace;
  WorkspaceLocator::Source workspace_source = WorkspaceLocator::Source::kExplicit;
  // The arguments other than the command name, common options removed, in
  // their order (the common options may stand anywhere).
  std::vector<std::string> args;
};

class Command {
 public:
  // Runs the command; returns the process's exit status: 0 for success,
  // kUsageError for a malformed command line, another non-zero value (1,
  // mostly) for a failure, with the reason on standard error.
  using Run = int (*)(const CommandContext& context);

  // Registers the command. Called during static initialisation only.
  // A command that needs_workspace runs only on a workspace folder it can
  // write: main() says what is wrong (and how to make a blog) otherwise and
  // exits with 1. name, usage and summary must be string literals (they are
  // kept, not copied).
  Command(const char* name, const char* usage, const char* summary, Run run,
          bool needs_workspace = true);

  const char* name() const { return name_; }
  const char* usage() const { return usage_; }
  const char* summary() const { return summary_; }
  bool needs_workspace() const { return needs_workspace_; }
  int Execute(const CommandContext& context) const { return run_(context); }

  // Every registered command, in name order.
  static std::vector<const Command*> All();
  // The command of that name, or nullptr.
  static const Command* Find(const std::string& name);

 private:
  const char* name_;
  const char* usage_;
  const char* summary_;
  Run run_;
  bool needs_workspace_;
};

// Writes text to standard output at once, for output that streams (git's);
// returns 0, an output callback's "go on".
int StreamToStdout(const std::string& text);

// Writes message and a line break to standard error, after what standard
// output holds so far: a diagnostic sink for reasons that are not a tool's.
void PrintReason(const std::string& message);

// Exit status for a malformed command line.
constexpr int kUsageError = 2;

}  // namespace tarn
