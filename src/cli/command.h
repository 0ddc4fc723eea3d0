// The command line's commands. Each command lives in a file of its own and
// registers itself with a static Command object, so adding one touches no
// shared table. main() parses the common options and dispatches by name.
#pragma once

#include <string>
#include <vector>

#include "site/workspace_locator.h"

namespace tarn {

struct CommandContext {
  // The workspace root, absolute, without a trailing separator, found as
  // WorkspaceLocator says (-w DIR first).
  std::string workspace;
  WorkspaceLocator::Source workspace_source = WorkspaceLocator::Source::kExplicit;
  // The arguments after the command name, common options removed.
  std::vector<std::string> args;
};

class Command {
 public:
  using Run = int (*)(const CommandContext& context);

  // Registers the command. Called during static initialisation only.
  // A command that needs_workspace runs only on a workspace folder it can
  // write: main() says what is wrong (and how to make a blog) otherwise.
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
