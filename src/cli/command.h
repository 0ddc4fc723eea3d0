// The command line's commands. Each command lives in a file of its own and
// registers itself with a static Command object, so adding one touches no
// shared table. main() parses the common options and dispatches by name.
#pragma once

#include <string>
#include <vector>

namespace tarn {

struct CommandContext {
  // The workspace root without a trailing separator: -w DIR, or else the
  // folder of the executable.
  std::string workspace;
  // The arguments after the command name, common options removed.
  std::vector<std::string> args;
};

class Command {
 public:
  using Run = int (*)(const CommandContext& context);

  // Registers the command. Called during static initialisation only.
  Command(const char* name, const char* usage, const char* summary, Run run);

  const char* name() const { return name_; }
  const char* usage() const { return usage_; }
  const char* summary() const { return summary_; }
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
};

// Exit status for a malformed command line.
constexpr int kUsageError = 2;

}  // namespace tarn
