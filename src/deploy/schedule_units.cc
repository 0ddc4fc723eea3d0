#include "deploy/schedule_units.h"

#include <glib.h>

#include <filesystem>
#include <utility>

#include "data/text_file.h"

namespace tarn {
namespace {

constexpr char kCommandWords[] = "publish --due -w";

// text with systemd's specifier character doubled, for a unit's
// description.
std::string Unspecified(std::string_view text) {
  std::string out;
  for (char c : text) out += c == '%' ? std::string("%%") : std::string(1, c);
  return out;
}

std::string ShellQuoted(const std::string& word) {
  gchar* quoted = g_shell_quote(word.c_str());
  std::string out(quoted);
  g_free(quoted);
  return out;
}

}  // namespace

ScheduleUnits::ScheduleUnits(std::string unit_dir, std::string workspace, std::string tarn)
    : unit_dir_(std::move(unit_dir)), workspace_(std::move(workspace)), tarn_(std::move(tarn)) {}

std::string ScheduleUnits::UserUnitDir() {
  return std::string(g_get_user_config_dir()) + "/systemd/user";
}

std::string ScheduleUnits::Name() const {
  gchar* sum = g_compute_checksum_for_string(G_CHECKSUM_SHA256, workspace_.c_str(), -1);
  std::string name = "tarn-publish-" + std::string(sum).substr(0, 12);
  g_free(sum);
  return name;
}

std::string ScheduleUnits::service_path() const { return unit_dir_ + "/" + Name() + ".service"; }
std::string ScheduleUnits::timer_path() const { return unit_dir_ + "/" + Name() + ".timer"; }

std::string ScheduleUnits::QuoteForUnit(std::string_view arg) {
  std::string out = "\"";
  for (char c : arg) {
    if (c == '\\' || c == '"') out += '\\';
    if (c == '%' || c == '$') out += c;
    out += c;
  }
  return out + "\"";
}

std::string ScheduleUnits::ServiceText() const {
  return "[Unit]\nDescription=Publish the blog at " + Unspecified(workspace_) +
         " when a scheduled post is due (tarn)\n\n[Service]\nType=oneshot\nExecStart=" +
         QuoteForUnit(tarn_) + " " + kCommandWords + " " + QuoteForUnit(workspace_) + "\n";
}

std::string ScheduleUnits::TimerText() const {
  return "[Unit]\nDescription=Publish the blog at " + Unspecified(workspace_) +
         " every 15 minutes when a scheduled post is due (tarn)\n\n[Timer]\n"
         "OnBootSec=2min\nOnCalendar=*:0/15\nPersistent=true\n\n"
         "[Install]\nWantedBy=timers.target\n";
}

std::string ScheduleUnits::CrontabLine() const {
  std::string line =
      "*/15 * * * * " + ShellQuoted(tarn_) + " " + kCommandWords + " " + ShellQuoted(workspace_);
  // cron reads an unescaped '%' as the end of the command.
  std::string out;
  for (char c : line) out += c == '%' ? std::string("\\%") : std::string(1, c);
  return out;
}

bool ScheduleUnits::Write(std::string* error) const {
  std::error_code ec;
  std::filesystem::create_directories(unit_dir_, ec);
  if (ec) {
    *error = unit_dir_ + ": cannot be created: " + ec.message();
    return false;
  }
  return WriteTextFile(service_path(), ServiceText(), error) &&
         WriteTextFile(timer_path(), TimerText(), error);
}

bool ScheduleUnits::Remove(std::string* error) const {
  for (const std::string& path : {timer_path(), service_path()}) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
    if (ec) {
      *error = path + ": cannot be removed: " + ec.message();
      return false;
    }
  }
  return true;
}

bool ScheduleUnits::Installed() const {
  std::error_code ec;
  return std::filesystem::exists(service_path(), ec) && std::filesystem::exists(timer_path(), ec);
}

}  // namespace tarn
