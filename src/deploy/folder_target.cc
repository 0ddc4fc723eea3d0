#include "deploy/folder_target.h"

#include "deploy/secret_mask.h"

namespace tarn {

TargetResult FolderTarget::Publish(const TargetRun& run) {
  std::string error;
  if (!Check(run.workspace, &error)) {
    if (run.sink) run.sink(error);
    return TargetResult::kRefused;
  }
  RemoteFolder state;
  if (!Inspect(run, &state)) return TargetResult::kFailed;
  if (state == RemoteFolder::kForeign && !run.replace) return TargetResult::kForeignSite;
  SiteMarker marker(&error);
  if (marker.folder().empty()) {
    if (run.sink) run.sink(error);
    return TargetResult::kFailed;
  }
  for (const auto& argv : Passes(run.public_dir, marker)) {
    if (!GitDeployer::RunStreamed(argv, ProgramOptions(), run.output, SecretMask::Apply)
             .succeeded())
      return TargetResult::kFailed;
  }
  return TargetResult::kPublished;
}

bool FolderTarget::RunListing(const std::vector<std::string>& argv, int allowed_status,
                              const TargetRun& run, std::string* output) {
  CommandResult listing = CommandRunner::RunProgram(argv, ProgramOptions());
  if (listing.succeeded()) {
    *output = listing.output;
    return true;
  }
  if (listing.started && !listing.stopped && listing.exit_status == allowed_status) {
    output->clear();
    return true;
  }
  if (run.output)
    run.output(SecretMask::Apply(listing.started ? listing.output : listing.error + "\n"));
  return false;
}

}  // namespace tarn
