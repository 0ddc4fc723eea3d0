// tarn schedule on|off|status: publishes the blog on time without anyone
// at the keyboard. "on" installs a systemd user timer and service
// (ScheduleSwitch) that run `tarn publish --due -w DIR` every 15 minutes and
// after boot; without systemd it says so and prints a crontab line that
// does the same. "off" removes them. "status" says whether the schedule is
// on, which scheduled post goes live next and what the last --due run did
// (PublishLog).

#include <cstdio>
#include <string>
#include <vector>

#include "cli/command.h"
#include "content/clock.h"
#include "deploy/due_posts.h"
#include "deploy/publish_log.h"
#include "deploy/schedule_switch.h"
#include "workspace/workspace.h"

namespace tarn {
namespace {

void Say(const std::string& text) {
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

int Report(const ScheduleSwitch::Outcome& outcome) {
  if (outcome.ok) {
    Say(outcome.message);
    return 0;
  }
  std::fprintf(stderr, "tarn schedule: %s\n", outcome.message.c_str());
  if (!outcome.crontab_line.empty()) Say(outcome.crontab_line);
  return 1;
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
  ScheduleSwitch schedule = ScheduleSwitch::ForBlog(context.workspace);
  if (word == "on") return Report(schedule.On());
  if (word == "off") return Report(schedule.Off());
  if (word == "status") return ScheduleStatus(schedule.units(), Workspace(context.workspace));
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
