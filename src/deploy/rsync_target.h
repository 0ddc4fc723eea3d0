// RsyncTarget: publishes public/ into a folder over SSH with rsync
// ({"type": "rsync", "target": "user@host:/var/www/blog/", "port": 2222,
// "keyFile": "~/.ssh/blog"}), or into a local folder given by an absolute
// path.
//
// rsync runs with an argument vector; the SSH command rsync starts is the
// one -e value "ssh -o BatchMode=yes [-p PORT] [-i KEY]", which rsync
// splits at blanks itself: a key path with a blank is put in single quotes,
// one with a quote mark or backslash is refused. BatchMode makes a host
// that wants a password or an unknown host key fail at once with ssh's own
// message.
//
// A publish is three runs with --archive --checksum (files whose contents
// are unchanged are not sent) --mkpath (missing parent folders are made),
// so that a reader never gets a page whose
// assets are not there yet and stale files go only at the end:
//   1. everything but the *.html pages;
//   2. the pages, but the home page (index.html at the root);
//   3. everything, the marker (SiteMarker) and the home page with it,
//      --delete-after removing what public/ no longer has.
// --delete only removes files below the target folder. public/.git (the git
// target's repository) is never sent nor removed on the remote. rsync writes
// each file to a temporary one and renames it into place, so a publish
// stopped midway leaves every file old or new, and the next publish sends
// what is still missing.
//
// Before the first pass the target folder is listed (rsync --list-only): a
// folder with files and no marker is someone else's site.
#pragma once

#include <string>
#include <vector>

#include "deploy/folder_target.h"

namespace tarn {

class RsyncTarget : public FolderTarget {
 public:
  // The settings as base.json gives them ("" when absent); port as text.
  RsyncTarget(std::string target, std::string port, std::string key_file);

  const char* kind() const override { return "rsync"; }
  std::string address() const override;
  // Refuses an empty target, one that starts with "-" (or whose host does),
  // an rsync daemon
  // address ("::", "rsync://"), a remote path that is empty, "/", ".", a home
  // folder ("~", "~user", /home/NAME, /root, /Users/NAME) or holds "..";
  // a local target that is not absolute, is "/" or the home folder, is the
  // workspace, a folder above it or inside its public/; a port that is not
  // 1 to 65535; a key path rsync's -e splitting cannot carry.
  bool Check(const std::string& workspace, std::string* error) const override;

  // The -e value (see above). Call after Check succeeded.
  std::string RemoteShell() const;
  std::vector<std::vector<std::string>> Passes(const std::string& public_dir,
                                               const SiteMarker& marker) const override;

 private:
  // The arguments every run shares: rsync, its options, -e.
  std::vector<std::string> Command() const;
  // The target with one "/" at its end: the folder's contents.
  std::string Folder() const;
  bool CheckRemotePath(const std::string& path, std::string* error) const;
  bool CheckLocalPath(const std::string& workspace, std::string* error) const;
  bool Inspect(const TargetRun& run, RemoteFolder* state) override;

  std::string target_;
  std::string port_;
  std::string key_file_;
};

}  // namespace tarn
