// tarn schedule on|off|status: publishes the blog on time without anyone
// at the keyboard. "on" installs a systemd user timer and service
// (ScheduleUnits) that run `tarn publish --due -w DIR` every 15 minutes and
// after boot; without systemd it says so and prints a crontab line that
// does the same. "off" removes them. "status" says whether the schedule is
// on, which scheduled post goes live next and what the last --due run did
// (PublishLog).

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/command.h"
#include "content/clock.h"
#include "deploy/command_runner.h"
#include "deploy/due_posts.h"
#include "deploy/publish_log.h"
#include "deploy/schedule_units.h"
#include "workspace/workspace.h"

namespace tarn {
namespace {

void Say(const std::string& text) {
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

// systemctl --user with args; false with *output saying why when it
// cannot be run or fails (no systemd, no user manager).
bool Systemctl(std::vector<std::string> args, std::string* output) {
  args.insert(args.begin(), {"systemctl", "--user"});
  CommandResult result = CommandRunner::RunProgram(args, {});
  *output = result.started ? result.output : result.error;
  while (!output->empty() && output->back() == '\n') output->pop_back();
  return result.succeeded();
}

// The units of the blog at root, run by this very program.
ScheduleUnits UnitsOf(const std::string& root) {
  std::error_code ec;
  std::filesystem::path canonical = std::filesystem::canonical(root, ec);
  std::string blog = ec ? root : canonical.string();
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ScheduleUnits(ScheduleUnits::UserUnitDir(), blog, ec ? "tarn" : self.string());
}

int ScheduleOn(const ScheduleUnits& units) {
  std::string error;
  if (!units.Write(&error)) {
    std::fprintf(stderr, "tarn schedule: %s\n", error.c_str());
    return 1;
  }
  std::string output;
  if (!Systemctl({"daemon-reload"}, &output) ||
      !Systemctl({"enable", "--now", units.Name() + ".timer"}, &output)) {
    units.Remove(&error);
    std::fprintf(stderr,
                 "tarn schedule: systemd's user manager is not at hand (systemctl --user: %s); "
                 "no timer was installed. To publish on time without it, add this line to your "
                 "crontab (crontab -e):\n",
                 output.c_str());
    Say(units.CrontabLine());
    return 1;
  }
  Say("schedule on: " + units.timer_path() +
      " runs tarn publish --due every 15 minutes and after boot");
  return 0;
}

int ScheduleOff(const ScheduleUnits& units) {
  if (!units.Installed()) {
    Say("schedule off: no timer was installed for this blog");
    return 0;
  }
  std::string output;
  // The files go even where systemd cannot be asked: nothing is left to run.
  bool stopped = Systemctl({"disable", "--now", units.Name() + ".timer"}, &output);
  std::string error;
  if (!units.Remove(&error)) {
    std::fprintf(stderr, "tarn schedule: %s\n", error.c_str());
    return 1;
  }
  if (stopped) Systemctl({"daemon-reload"}, &output);
  Say("schedule off: " + units.timer_path() + " and its service are removed");
  return 0;
}

int ScheduleStatus(const ScheduleUnits& units, const Workspace& workspace) {
  Say(units.Installed() ? "schedule: on (" + units.timer_path() + ")" : "schedule: off");
  std::vector<PostFile> posts = DuePosts::Read(workspace);
  const PostFile* next = DuePosts::Next(posts, Clock::Now());
  Say(next ? "next due post: " + next->title + " (" + next->name + ") at " +
                 PostIndex::FormatPostTime(*next->publish_time)
           : "next due post: none");
  std::string last = PublishLog(workspace).Last();
  for (char& c : last)
    if (c == '\t') c = ' ';
  Say("last run: " + (last.empty() ? std::string("none") : last));
  return 0;
}

int RunSchedule(const CommandContext& context) {
  const std::string& word = context.args.words()[0];
  ScheduleUnits units = UnitsOf(context.workspace);
  if (word == "on") return ScheduleOn(units);
  if (word == "off") return ScheduleOff(units);
  if (word == "status") return ScheduleStatus(units, Workspace(context.workspace));
  std::fprintf(stderr, "tarn schedule: '%s' is not on, off or status\n%s", word.c_str(),
               context.usage_line.c_str());
  return kUsageError;
}

const Command kSchedule(
    "schedule", "schedule on|off|status",
    "publish the blog when its scheduled posts are due (a systemd user timer)", RunSchedule,
    {.min_words = 1, .max_words = 1, .missing_word = "on, off or status is needed"});

}  // namespace
}  // namespace tarn
