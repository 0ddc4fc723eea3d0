// ScheduleUnits: the systemd user timer and service that publish one blog
// when its scheduled posts are due: `tarn publish --due -w DIR` every 15
// minutes, a few minutes after boot, and at once for a run missed while
// the machine was off (Persistent=true). The units are named after the
// blog (tarn-publish-HASH, HASH from the workspace's path), so that each
// blog has its own; they live in the user's systemd folder
// ($XDG_CONFIG_HOME/systemd/user). Where systemd is not at hand the same
// command goes into a crontab line (CrontabLine).
//
// Thread safety: no state beyond the names given; any thread.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

class ScheduleUnits {
 public:
  // unit_dir: where the units go (UserUnitDir()); workspace: the blog's
  // absolute, canonical path; tarn: the absolute path of the program the
  // service runs.
  ScheduleUnits(std::string unit_dir, std::string workspace, std::string tarn);

  // $XDG_CONFIG_HOME/systemd/user, or ~/.config/systemd/user.
  static std::string UserUnitDir();

  // "tarn-publish-HASH": the units' name without ".service" or ".timer".
  std::string Name() const;
  std::string service_path() const;
  std::string timer_path() const;

  std::string ServiceText() const;
  std::string TimerText() const;
  // The service's command for a crontab, every 15 minutes.
  std::string CrontabLine() const;

  // Both units, written atomically. False with *error ("PATH: reason").
  bool Write(std::string* error) const;
  // Removes both (missing ones are no fault). False with *error.
  bool Remove(std::string* error) const;
  // True when both unit files are there.
  bool Installed() const;

  // arg as one word of a unit's command line: double-quoted, with '\' and
  // '"' escaped and '%' and '$' doubled (systemd's specifiers and
  // variables).
  static std::string QuoteForUnit(std::string_view arg);

 private:
  std::string unit_dir_;
  std::string workspace_;
  std::string tarn_;
};

}  // namespace tarn
