// ScheduleSwitch: turns a blog's publishing schedule on or off, for `tarn
// schedule` and the desktop program's Schedule setting: writes (or
// removes) the blog's ScheduleUnits and tells systemd's user manager
// (systemctl --user, through the command runner). Where systemd is not at
// hand, On writes nothing and gives the crontab line that does the same.
//
// Thread safety: none; the thread that may block on systemctl.
#pragma once

#include <string>
#include <utility>

#include "deploy/schedule_units.h"

namespace tarn {

class ScheduleSwitch {
 public:
  struct Outcome {
    bool ok = false;
    std::string message;       // what happened, or why it did not
    std::string crontab_line;  // set when systemd is not at hand
  };

  explicit ScheduleSwitch(ScheduleUnits units) : units_(std::move(units)) {}

  // The switch of the blog at root (its canonical path), run by this very
  // program (/proc/self/exe), with the units in ScheduleUnits::UserUnitDir.
  static ScheduleSwitch ForBlog(const std::string& root);

  // Installs and starts the timer. Not ok, with nothing left installed,
  // when the units cannot be written or systemd is not at hand.
  Outcome On() const;
  // Stops the timer and removes both units (ok when none were there). Not
  // ok when a unit cannot be removed.
  Outcome Off() const;
  // True when both units are installed as On would write them now.
  bool UpToDate() const;

  const ScheduleUnits& units() const { return units_; }

 private:
  ScheduleUnits units_;
};

}  // namespace tarn
