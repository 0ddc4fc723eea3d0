// Command: one of the command line's commands. Each command lives in a file
// of its own (src/cli/NAME_command.cc) and registers itself with a static
// Command object, so adding one touches no shared table. A command declares
// the options and words it takes (an OptionParser::Syntax); main() reads
// the common options (-w DIR, --help, --version), finds the command by name
// (no name means "gui"), checks the workspace, reads the command's own
// arguments and runs it.
//
// Thread safety: the registry is filled during static initialisation and
// only read afterwards; commands run on the main thread.
#pragma once

#include <string>
#include <vector>

#include "cli/option_parser.h"
#include "workspace/workspace_locator.h"

namespace tarn {

struct CommandContext {
  // The workspace root, absolute, without a trailing separator, found as
  // WorkspaceLocator says (-w DIR first).
  std::string workspace;
  WorkspaceLocator::Source workspace_source = WorkspaceLocator::Source::kExplicit;
  // The command's options and words, read by its syntax once the common
  // options (which may stand anywhere) are taken out.
  ParsedArgs args;
  // The command's usage line, for a fault the command finds in its words.
  std::string usage_line;
};

class Command {
 public:
  // Runs the command; returns the process's exit status: 0 for success,
  // kUsageError for a malformed command line, another non-zero value (1,
  // mostly) for a failure, with the reason on standard error.
  using Run = int (*)(const CommandContext& context);

  // Registers the command. Called during static initialisation only.
  // syntax: the options and words it takes; the default takes none.
  // A command that needs_workspace runs only on a workspace folder that
  // exists and that it can write: main() says what is wrong (and how to
  // make a blog) otherwise and exits with 1. name, usage and summary must be
  // string literals and syntax's table static (they are kept, not copied).
  Command(const char* name, const char* usage, const char* summary, Run run,
          const OptionParser::Syntax& syntax = {}, bool needs_workspace = true);

  const char* name() const { return name_; }
  const char* usage() const { return usage_; }
  const char* summary() const { return summary_; }
  bool needs_workspace() const { return needs_workspace_; }
  int Execute(const CommandContext& context) const { return run_(context); }

  // "usage: tarn [-w DIR] NAME ...\n", the line a usage error ends with
  // ([-w DIR] for a command that needs a workspace).
  std::string UsageLine() const;
  // Reads the command's arguments by its syntax. Returns false with the
  // text to print on standard error in *error for a malformed command line
  // (exit status kUsageError).
  bool ReadArgs(const std::vector<std::string>& args, ParsedArgs* result, std::string* error) const;

  // Every registered command, in name order.
  static std::vector<const Command*> All();
  // The command of that name, or nullptr.
  static const Command* Find(const std::string& name);

 private:
  const char* name_;
  const char* usage_;
  const char* summary_;
  Run run_;
  OptionParser::Syntax syntax_;
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
