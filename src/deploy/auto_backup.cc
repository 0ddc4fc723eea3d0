#include "deploy/auto_backup.h"

#include <utility>

#include "workspace/workspace.h"

namespace tarn {

bool AutoBackup::Enabled(const std::string& workspace) {
  return Enabled(IniFile(Workspace::Path(workspace, Workspace::kConfIni)));
}

bool AutoBackup::Enabled(const IniFile& conf_ini) {
  return conf_ini.GetString(kSection, kKey) == "1";
}

BackupOutcome AutoBackup::AfterSave(const std::string& workspace, OutputCallback output,
                                    DiagnosticSink sink) {
  return SourceBackup(workspace, std::move(output), std::move(sink)).Commit();
}

BackupOutcome AutoBackup::AfterPublish(const std::string& workspace, const std::string& source_url,
                                       OutputCallback output, DiagnosticSink sink) {
  return SourceBackup(workspace, std::move(output), std::move(sink)).Backup(source_url);
}

}  // namespace tarn
