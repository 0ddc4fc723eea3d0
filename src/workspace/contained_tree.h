// ContainedTree: keeps what is written into a folder tree inside it. A
// blog restored from a backup is a clone that whoever could push to the
// backup wrote, and a symbolic link in it would send the files that the
// restore adds, or that a build writes later, anywhere on this computer.
// So links that lead out of the tree, and links where the program writes
// (Workspace::kGeneratedPaths), are removed before anything is written, and
// files are added without ever writing through a link.
//
// Thread safety: no state; any thread, but not two calls on one tree at
// once.
#pragma once

#include <string>
#include <vector>

namespace tarn {

class ContainedTree {
 public:
  // Removes every symbolic link below root (root/.git is not searched)
  // that, once followed, leads out of root (an absolute target, too many
  // "..", a link it passes through that does), that cannot be followed (a
  // loop), or that stands at one of the generated paths. *removed gets
  // "PATH (a link to TARGET) leads out of the blog" or "... stands where
  // tarn writes" for each, PATH relative to root. False with
  // the path and the reason in *error when a folder cannot be read or a
  // link cannot be removed.
  static bool RemoveEscapingLinks(const std::string& root, std::vector<std::string>* removed,
                                  std::string* error);

  // Copies the folders and regular files below from that to lacks,
  // making to and the folders as needed. Never writes through a link and
  // never replaces anything: an entry of to that exists in any form is
  // kept, and when it is not a folder, nothing below it is copied. Links
  // and devices in from are left out. False with the file and the reason in
  // *error.
  static bool CopyMissing(const std::string& from, const std::string& to, std::string* error);
};

}  // namespace tarn
