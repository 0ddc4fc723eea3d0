#include "cli/command.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tarn {
namespace {

std::vector<const Command*>& Registry() {
  static std::vector<const Command*> commands;
  return commands;
}

}  // namespace

int StreamToStdout(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  return 0;
}

void PrintReason(const std::string& message) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s\n", message.c_str());
  std::fflush(stderr);
}

Command::Command(const char* name, const char* usage, const char* summary, Run run,
                 const OptionParser::Syntax& syntax, bool needs_workspace)
    : name_(name),
      usage_(usage),
      summary_(summary),
      run_(run),
      syntax_(syntax),
      needs_workspace_(needs_workspace) {
  Registry().push_back(this);
}

std::string Command::UsageLine() const {
  return std::string("usage: tarn ") + (needs_workspace_ ? "[-w DIR] " : "") + usage_ + "\n";
}

bool Command::ReadArgs(const std::vector<std::string>& args, ParsedArgs* result,
                       std::string* error) const {
  return OptionParser(std::string("tarn ") + name_, syntax_, UsageLine())
      .Parse(args, result, error);
}

std::vector<const Command*> Command::All() {
  std::vector<const Command*> all = Registry();
  std::sort(all.begin(), all.end(), [](const Command* a, const Command* b) {
    return std::strcmp(a->name(), b->name()) < 0;
  });
  return all;
}

const Command* Command::Find(const std::string& name) {
  for (const Command* c : Registry())
    if (name == c->name()) return c;
  return nullptr;
}

}  // namespace tarn
