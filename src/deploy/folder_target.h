// FolderTarget: what the targets that copy files into a remote folder
// (rsync, rclone) share: check the settings, list the folder and stop on a
// site tarn did not publish (SiteMarker) unless replacing was asked for,
// then run the kind's passes in order, each one's output streamed with its
// secrets masked, stopping at the first that fails.
#pragma once

#include <string>
#include <vector>

#include "deploy/deploy_target.h"
#include "deploy/site_marker.h"

namespace tarn {

class FolderTarget : public DeployTarget {
 public:
  TargetResult Publish(const TargetRun& run) final;

  // The runs' argument vectors, in order, publishing public_dir with
  // marker's file sent last.
  virtual std::vector<std::vector<std::string>> Passes(const std::string& public_dir,
                                                       const SiteMarker& marker) const = 0;

 protected:
  // Learns what the target folder holds (and what else the passes need to
  // know of the remote); false when it could not be listed (the tool's
  // output, masked, has gone to run.output).
  virtual bool Inspect(const TargetRun& run, RemoteFolder* state) = 0;
  // Runs argv for a listing, quietly; false when it did not start or
  // exited otherwise than with 0 or allowed_status (its output, masked,
  // then goes to run.output). *output: what it printed on success.
  static bool RunListing(const std::vector<std::string>& argv, int allowed_status,
                         const TargetRun& run, std::string* output);
};

}  // namespace tarn
