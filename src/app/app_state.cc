#include "app/app_state.h"

#include "data/ini_file.h"
#include "deploy/auto_backup.h"

namespace tarn {

DesktopSettings DesktopSettings::Read(const std::string& conf_ini_path) {
  IniFile ini(conf_ini_path);
  DesktopSettings settings;
  settings.show_dos = ini.GetString("base", "ShowDOS") == "1";
  settings.mini = ini.GetString("base", "Mini") == "1";
  settings.auto_backup = AutoBackup::Enabled(ini);
  std::string schedule = ini.GetString("base", "Schedule");
  if (schedule == "1" || schedule == "0") settings.schedule = schedule == "1";
  return settings;
}

}  // namespace tarn
