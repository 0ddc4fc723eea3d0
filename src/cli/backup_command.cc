// tarn backup: commits the workspace's sources to the workspace's own git
// repository and, when system.sourceUrl is set in base.json, pushes branch
// main there. git's output streams to standard output as it arrives; the
// outcome follows it; reasons that are not git's go to standard error.

#include <cstdio>
#include <string>

#include "cli/command.h"
#include "deploy/source_backup.h"
#include "render/site_config.h"

namespace tarn {
namespace {

int RunBackup(const CommandContext& context) {
  SiteConfig config(context.workspace);
  // A base.json that cannot be read is reported and the sources are still
  // committed: a broken setting is one more reason to keep a copy.
  std::string url;
  if (config.Load(PrintReason)) url = config.Setting("system.sourceUrl");
  SourceBackup backup(context.workspace, StreamToStdout, PrintReason);
  BackupOutcome outcome = backup.Backup(url);
  if (outcome.ok) {
    std::printf("%s\n", outcome.message.c_str());
    std::fflush(stdout);
    return 0;
  }
  PrintReason("tarn backup: " + outcome.message);
  return 1;
}

const Command kBackup("backup", "backup",
                      "commit the workspace's sources to its own git repository and push them "
                      "to system.sourceUrl",
                      RunBackup);

}  // namespace
}  // namespace tarn
