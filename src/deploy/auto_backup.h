// AutoBackup: the workspace's automatic backups, switched on with
// "[base] AutoBackup=1" in config/conf.ini (off otherwise, as a missing
// file or key). When on, the editor's every successful save is followed by
// a local commit (SourceBackup::Commit: no network, so a save never waits
// on a remote) and every successful publish by a full backup that also
// pushes to system.sourceUrl (what `tarn backup` does). A push of public/
// alone ("tarn push", the page's Push) backs nothing up: the sources have
// not been rendered, and the publish is the moment a blogger expects a
// copy to leave the machine.
//
// Thread safety: any thread; the backups run git on the caller's thread
// (see SourceBackup and CommandRunner).
#pragma once

#include <string>

#include "data/diagnostics.h"
#include "data/ini_file.h"
#include "deploy/source_backup.h"

namespace tarn {

class AutoBackup {
 public:
  static constexpr const char* kSection = "base";
  static constexpr const char* kKey = "AutoBackup";

  // True only when the workspace's conf.ini says exactly "1".
  static bool Enabled(const std::string& workspace);
  // The same, for a conf.ini already read.
  static bool Enabled(const IniFile& conf_ini);

  // The backup after a successful save: a local commit only.
  static BackupOutcome AfterSave(const std::string& workspace, OutputCallback output,
                                 DiagnosticSink sink);

  // The backup after a successful publish: commit, then push to source_url
  // when it is not empty. Not ok (message says why) when either failed.
  static BackupOutcome AfterPublish(const std::string& workspace, const std::string& source_url,
                                    OutputCallback output, DiagnosticSink sink);
};

}  // namespace tarn
