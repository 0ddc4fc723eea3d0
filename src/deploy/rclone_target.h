// RcloneTarget: publishes public/ to any remote rclone knows (S3 and its
// kin, SFTP, WebDAV, FTP, B2, Azure, ...): {"type": "rclone", "remote":
// "r2:bucket/blog"}. The remote's credentials live in the user's own rclone
// configuration (rclone config; RCLONE_CONFIG names another file), never in
// base.json.
//
// The same order as RsyncTarget's, in five runs: copy all but the *.html
// pages; copy the pages but the home page; copyto the home page; sync with
// --ignore-existing, which sends nothing more and deletes the files public/
// no longer has; copyto the marker (SiteMarker), which the sync leaves
// alone. On object stores (S3 and its kin) an upload replaces an object
// only once it is complete, so a stopped publish leaves each file old or
// new; on SFTP and WebDAV the rclone of Debian 12 writes a file in place,
// so a file being sent when the publish stops may be left partly written
// until the next publish sends it again. Progress is rclone's one-line
// statistics every second and a line per file sent. rclone sets
// Content-Type from the file's extension on backends that store it (S3).
//
// Before the first run the remote folder is listed (rclone lsf): files and
// no marker are someone else's site.
#pragma once

#include <string>
#include <vector>

#include "deploy/folder_target.h"

namespace tarn {

class RcloneTarget : public FolderTarget {
 public:
  explicit RcloneTarget(std::string remote);

  const char* kind() const override { return "rclone"; }
  std::string address() const override;
  // Refuses an empty remote, one that starts with "-", one without
  // "NAME:", and a path that is empty, "/" or holds "..": the remote's root
  // would be synced, deleting what else it holds.
  bool Check(const std::string& workspace, std::string* error) const override;
  std::vector<std::vector<std::string>> Passes(const std::string& public_dir,
                                               const SiteMarker& marker) const override;

 private:
  bool Inspect(const TargetRun& run, RemoteFolder* state) override;

  // How rclone tells changed files, from the remote's features (rclone
  // backend features): checksums where the remote has a hash, else size
  // and modification time, else (neither) every file is sent: rclone's
  // fallback to sizes alone would miss a page whose length stayed the same.
  // False when the features could not be read (reported).
  bool ReadComparison(const TargetRun& run);

  std::string remote_;
  std::string comparison_ = "--checksum";  // "": rclone's default
};

}  // namespace tarn
