// DeployTarget: one place a rendered site is published to (a git remote, a
// folder over rsync and SSH, an rclone remote), as system.deploy in
// base.json lists them. DeployTargets builds the list; each kind is one
// class behind this interface.
//
// Every kind keeps the same promises: its settings are checked before
// anything runs (Check); a remote folder that holds files tarn did not
// publish is not overwritten unless replacing was asked for
// (TargetResult::kForeignSite); a publish never reports success when a
// step failed; no shell sees an argument; every line printed has its
// secrets masked (SecretMask).
//
// Thread safety: none; one thread uses a target. Publish keeps that
// thread's GLib main context running (see CommandRunner).
#pragma once

#include <string>

#include "data/diagnostics.h"
#include "deploy/git_deployer.h"

namespace tarn {

// How one target's publish ended.
enum class TargetResult {
  kPublished,
  // A step failed; the output has the tool's own messages.
  kFailed,
  // The target's settings were refused (Check); nothing ran.
  kRefused,
  // The remote holds a site tarn did not publish and replacing was not
  // asked for; nothing was sent.
  kForeignSite,
};

// What a publish works on and where it reports.
struct TargetRun {
  std::string workspace;   // the workspace's root folder
  std::string public_dir;  // the rendered site
  // Go on over a remote site tarn did not publish (--replace).
  bool replace = false;
  // Notices and the tools' output, line by line, secrets masked.
  OutputCallback output;
  // Reasons that are not a tool's output (a refused setting).
  DiagnosticSink sink;
};

class DeployTarget {
 public:
  virtual ~DeployTarget() = default;

  // "git", "rsync" or "rclone".
  virtual const char* kind() const = 0;
  // Where it publishes, as the settings name it, secrets masked: for
  // messages.
  virtual std::string address() const = 0;
  // True when the settings can be used for a publish from workspace;
  // false with the reason (naming the setting) in *error otherwise.
  virtual bool Check(const std::string& workspace, std::string* error) const = 0;
  // Checks, then publishes run.public_dir. Reasons go to run.sink, the
  // tools' output to run.output.
  virtual TargetResult Publish(const TargetRun& run) = 0;
};

}  // namespace tarn
