// SiteBuild: the desktop program's builds of the site, and the rule that
// the site builder belongs to one build at a time. InBackground runs the
// build on a thread of its own while the main loop goes on, so the windows
// stay responsive however long it takes; OnThisThread runs it here.
//
// While a build runs, or a command holds the builder between its build and
// the rest of its work (Hold), running() is true: the commands that need
// the builder refuse meanwhile (saying kRunning), and refreshing the
// manager page waits for the end (PostponeRefresh).
//
// Thread safety: user-interface thread only.
#pragma once

namespace tarn {

class ReasonLog;
class SiteBuilder;

class SiteBuild {
 public:
  static constexpr char kRunning[] = "a build is already running; try again when it has finished";

  // Neither is owned; both must outlive this object. The build's reasons
  // go to reasons.
  SiteBuild(SiteBuilder* site, ReasonLog* reasons) : site_(site), reasons_(reasons) {}
  SiteBuild(const SiteBuild&) = delete;
  SiteBuild& operator=(const SiteBuild&) = delete;

  // True while a build runs or a command holds the builder.
  bool running() const { return holds_ > 0; }

  // Builds the site (ParallelBuild) on a thread of its own while this one
  // keeps running the main loop, delivering the build's reasons as they
  // come; returns when it has ended, with its result. With TARN_BUILD_TRACE
  // set, says on standard error how long it took and how late the main
  // loop ran meanwhile; with TARN_BUILD_GATE=FILE set, the build waits for
  // FILE to exist before it starts (the GUI tests act while a build is
  // under way). The caller checks running() first, unless it holds the
  // builder itself (Hold).
  bool InBackground();

  // Builds the site (SiteBuilder::Build) on this thread; returns its
  // result. The caller checks running() first.
  bool OnThisThread();

  // A command that builds and then goes on using the builder (publishing)
  // holds it from before its build until after its last step; each Hold is
  // matched by one Release in the same function.
  void Hold() { ++holds_; }
  void Release() { --holds_; }

  // A refresh of the manager page asked for now: true while the builder is
  // busy (the refresh is then due when the command ends); false, with no
  // refresh due any more, when it may go ahead.
  bool PostponeRefresh();
  // True when a refresh was postponed and has not happened since.
  bool refresh_due() const { return refresh_due_; }

 private:
  SiteBuilder* site_;
  ReasonLog* reasons_;
  int holds_ = 0;  // builds and holding commands in progress (they may nest)
  bool refresh_due_ = false;
};

}  // namespace tarn
