#include "deploy/schedule_switch.h"

#include <filesystem>
#include <vector>

#include "data/self_executable.h"
#include "data/text_file.h"
#include "deploy/command_runner.h"

namespace tarn {
namespace {

// systemctl --user with args; false with *output saying why when it
// cannot be run or fails (no systemd, no user manager).
bool Systemctl(std::vector<std::string> args, std::string* output) {
  args.insert(args.begin(), {"systemctl", "--user"});
  CommandResult result = CommandRunner::RunProgram(args, {});
  *output = result.started ? result.output : result.error;
  while (!output->empty() && output->back() == '\n') output->pop_back();
  return result.succeeded();
}

}  // namespace

ScheduleSwitch ScheduleSwitch::ForBlog(const std::string& root) {
  std::error_code ec;
  std::filesystem::path canonical = std::filesystem::canonical(root, ec);
  std::string blog = ec ? root : canonical.string();
  // tarn itself, also when the desktop program (beside it) asks.
  std::string folder = SelfExecutableFolder();
  std::string tarn = folder.empty() ? "tarn" : folder + "/tarn";
  return ScheduleSwitch(ScheduleUnits(ScheduleUnits::UserUnitDir(), blog, tarn));
}

ScheduleSwitch::Outcome ScheduleSwitch::On() const {
  Outcome outcome;
  if (!units_.Write(&outcome.message)) return outcome;
  std::string output;
  if (!Systemctl({"daemon-reload"}, &output) ||
      !Systemctl({"enable", "--now", units_.Name() + ".timer"}, &output)) {
    std::string ignored;
    units_.Remove(&ignored);
    outcome.message = "systemd's user manager is not at hand (systemctl --user: " + output +
                      "); no timer was installed. To publish on time without it, add this "
                      "line to your crontab (crontab -e):";
    outcome.crontab_line = units_.CrontabLine();
    return outcome;
  }
  outcome.ok = true;
  outcome.message = "schedule on: " + units_.timer_path() +
                    " runs tarn publish --due every 15 minutes and after boot";
  return outcome;
}

ScheduleSwitch::Outcome ScheduleSwitch::Off() const {
  Outcome outcome;
  if (!units_.Installed()) {
    outcome.ok = true;
    outcome.message = "schedule off: no timer was installed for this blog";
    return outcome;
  }
  std::string output;
  // The files go even where systemd cannot be asked: nothing is left to run.
  bool stopped = Systemctl({"disable", "--now", units_.Name() + ".timer"}, &output);
  if (!units_.Remove(&outcome.message)) return outcome;
  if (stopped) Systemctl({"daemon-reload"}, &output);
  outcome.ok = true;
  outcome.message = "schedule off: " + units_.timer_path() + " and its service are removed";
  return outcome;
}

bool ScheduleSwitch::UpToDate() const {
  std::string service, timer;
  return ReadTextFile(units_.service_path(), &service) && service == units_.ServiceText() &&
         ReadTextFile(units_.timer_path(), &timer) && timer == units_.TimerText();
}

}  // namespace tarn
