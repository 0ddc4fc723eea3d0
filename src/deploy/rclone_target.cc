#include "deploy/rclone_target.h"

#include <glib.h>

#include <filesystem>
#include <sstream>

#include "data/json_document.h"
#include "deploy/secret_mask.h"

namespace tarn {
namespace {

// rclone's exit status for "directory not found".
constexpr int kDirectoryNotFound = 3;

// A modification-time precision this large means the remote keeps none
// (rclone's ModTimeNotSupported, in nanoseconds).
constexpr double kNoModTime = 1e18;

// public/.git is the git target's repository, never sent nor deleted.
constexpr char kNoGit[] = "- /.git/**";

// The progress options every run shares: one line of statistics a second,
// one line per file sent.
const std::vector<std::string> kProgress = {"--stats",           "1s",     "--stats-one-line",
                                            "--stats-log-level", "NOTICE", "-v"};

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
  auto run = [&](std::vector<std::string> argv, bool compare) {
    argv.insert(argv.begin() + 2, kProgress.begin(), kProgress.end());
    if (compare && !comparison_.empty()) argv.insert(argv.begin() + 2, comparison_);
    return argv;
  };
  std::vector<std::vector<std::string>> passes = {
      run({"rclone", "copy", "--filter", kNoGit, "--filter", "- *.html", public_dir, remote_},
          true),
      run({"rclone", "copy", "--filter", kNoGit, "--filter", "- /index.html", "--filter",
           "+ *.html", "--filter", "- *", public_dir, remote_},
          true)};
  std::string home = public_dir + "/index.html";
  if (g_file_test(home.c_str(), G_FILE_TEST_EXISTS))
    passes.push_back(run({"rclone", "copyto", home, folder + "index.html"}, true));
  // Everything is there by now: only the files public/ no longer has are
  // left to delete, and nothing is sent again.
  passes.push_back(run({"rclone", "sync", "--ignore-existing", "--filter", kNoGit, "--filter",
                        std::string("- /") + SiteMarker::kName, public_dir, remote_},
                       false));
  passes.push_back(run({"rclone", "copyto", marker.file(), folder + SiteMarker::kName}, false));
  return passes;
}

bool RcloneTarget::ReadComparison(const TargetRun& run) {
  std::string text;
  JsonDocument features;
  if (!RunListing({"rclone", "backend", "features", remote_}, 0, run, &text)) return false;
  if (!features.Parse(text)) {
    if (run.sink) run.sink("rclone backend features " + address() + ": not JSON");
    return false;
  }
  if (features.GetCount("Hashes") > 0)
    comparison_ = "--checksum";
  else if (features.GetDouble("Precision") < kNoModTime)
    comparison_.clear();  // rclone's own: size and modification time
  else
    comparison_ = "--ignore-times";
  return true;
}

bool RcloneTarget::Inspect(const TargetRun& run, RemoteFolder* state) {
  if (!ReadComparison(run)) return false;
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
