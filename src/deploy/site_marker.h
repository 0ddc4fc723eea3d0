// SiteMarker: the ".tarn-site" file that tells a remote folder tarn
// publishes to from one that holds someone else's site. rsync and rclone
// targets send it with the last pass of every publish, so a folder that has
// it has been published by tarn before; a first publish into a folder with
// files and no marker stops unless replacing was asked for.
//
// An object holds a temporary folder with the marker in it, for the tools
// to send, and removes it when it goes.
//
// Thread safety: none; one thread uses an object. Classify is pure.
#pragma once

#include <string>
#include <vector>

namespace tarn {

// What a remote folder holds before a publish.
enum class RemoteFolder {
  kEmpty,    // missing, or nothing in it
  kOurs,     // it has the marker
  kForeign,  // files and no marker
};

class SiteMarker {
 public:
  static constexpr char kName[] = ".tarn-site";

  // Makes the temporary folder; folder() is "" when that failed (the
  // reason in *error).
  explicit SiteMarker(std::string* error);
  ~SiteMarker();
  SiteMarker(const SiteMarker&) = delete;
  SiteMarker& operator=(const SiteMarker&) = delete;

  // The folder holding only the marker; "" when it could not be made.
  const std::string& folder() const { return folder_; }
  // The marker file in it.
  std::string file() const { return folder_ + "/" + kName; }

  // The state of a folder whose entries are names ("." and ".." ignored).
  static RemoteFolder Classify(const std::vector<std::string>& names);

 private:
  std::string folder_;
};

}  // namespace tarn
