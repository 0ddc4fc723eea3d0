#include "deploy/rclone_target.h"

#include <filesystem>
#include <sstream>

#include "deploy/secret_mask.h"

namespace tarn {
namespace {

// rclone's exit status for "directory not found".
constexpr int kDirectoryNotFound = 3;

// The options every copying run shares.
std::vector<std::string> CopyOptions() {
  return {"--checksum",       "--exclude",         "/.git/**", "--stats", "1s",
          "--stats-one-line", "--stats-log-level", "NOTICE",   "-v"};
}

}  // namespace

RcloneTarget::RcloneTarget(std::string remote) : remote_(std::move(remote)) {}

std::string RcloneTarget::address() const { return SecretMask::Apply(remote_); }

bool RcloneTarget::Check(const std::string& /*workspace*/, std::string* error) const {
  std::string why;
  // "NAME:path", or a connection string ":backend,key=value:path".
  std::size_t colon = remote_.find(':', remote_.starts_with(":") ? 1 : 0);
  std::string path = colon == std::string::npos ? "" : remote_.substr(colon + 1);
  while (!path.empty() && path.back() == '/') path.pop_back();
  if (remote_.empty())
    why = "\"remote\" is empty (give NAME:folder, NAME as in rclone config)";
  else if (remote_[0] == '-')
    why = "it starts with \"-\", which rclone would read as an option";
  else if (colon == std::string::npos || colon == 0)
    why = "it names no remote (NAME:folder, NAME as in rclone config)";
  else if (path.empty() || path == "/" || path == ".")
    why = "it names the remote's root, whose other files would be deleted; name a folder";
  else if (std::filesystem::path(path).lexically_normal().string().starts_with(".."))
    why = "the folder holds \"..\"";
  else
    return true;
  *error = "the rclone remote \"" + address() + "\" is refused: " + why;
  return false;
}

std::vector<std::vector<std::string>> RcloneTarget::Passes(const std::string& public_dir,
                                                           const SiteMarker& marker) const {
  std::string folder = remote_.back() == '/' ? remote_ : remote_ + "/";
  std::vector<std::vector<std::string>> passes = {
      {"rclone", "copy"}, {"rclone", "copy"}, {"rclone", "sync"}, {"rclone", "copyto"}};
  for (auto& pass : passes) {
    std::vector<std::string> options = CopyOptions();
    pass.insert(pass.end(), options.begin(), options.end());
  }
  passes[0].insert(passes[0].end(), {"--exclude", "*.html", public_dir, remote_});
  passes[1].insert(passes[1].end(), {"--exclude", "/index.html", public_dir, remote_});
  passes[2].insert(passes[2].end(),
                   {"--exclude", std::string("/") + SiteMarker::kName, public_dir, remote_});
  passes[3].insert(passes[3].end(), {marker.file(), folder + SiteMarker::kName});
  return passes;
}

bool RcloneTarget::ListRemote(const TargetRun& run, RemoteFolder* state) const {
  // A folder that does not exist yet is empty: the first run makes it.
  std::string listing;
  if (!RunListing({"rclone", "lsf", "--max-depth", "1", remote_}, kDirectoryNotFound, run,
                  &listing))
    return false;
  std::vector<std::string> names;
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    while (!line.empty() && (line.back() == '/' || line.back() == '\r')) line.pop_back();
    names.push_back(line);
  }
  *state = SiteMarker::Classify(names);
  return true;
}

}  // namespace tarn
