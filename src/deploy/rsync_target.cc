#include "deploy/rsync_target.h"

#include <glib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "deploy/secret_mask.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

// rsync's exit status for "some files could not be transferred", which a
// listing of a folder that does not exist ends with.
constexpr int kPartialTransfer = 23;

bool IsHomeRoot(const std::string& path) {
  if (path == "~" || path == "/root" || path == "/home" || path == "/Users") return true;
  if (path[0] == '~') return path.find('/') == std::string::npos;  // "~user"
  for (const char* base : {"/home/", "/Users/"}) {
    std::string_view prefix(base);
    if (path.starts_with(prefix) && path.find('/', prefix.size()) == std::string::npos) return true;
  }
  return false;
}

bool HasParentStep(const std::string& path) {
  for (const auto& part : fs::path(path))
    if (part == "..") return true;
  return false;
}

// path without the slashes at its end ("/" stays).
std::string TrimSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// "~/x" as the home folder's x: no shell expands it for ssh.
std::string ExpandHome(const std::string& path) {
  if (path == "~" || path.starts_with("~/")) return g_get_home_dir() + path.substr(1);
  return path;
}

// The names of an rsync --list-only listing: "PERMS SIZE DATE TIME NAME".
std::vector<std::string> ListedNames(const std::string& listing) {
  std::vector<std::string> names;
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string perms, size, date, time;
    if (!(fields >> perms >> size >> date >> time) || perms.size() != 10) continue;
    std::string name;
    std::getline(fields >> std::ws, name);
    names.push_back(name);
  }
  return names;
}

}  // namespace

RsyncTarget::RsyncTarget(std::string target, std::string port, std::string key_file)
    : target_(std::move(target)), port_(std::move(port)), key_file_(std::move(key_file)) {}

std::string RsyncTarget::address() const { return SecretMask::Apply(target_); }

bool RsyncTarget::Check(const std::string& workspace, std::string* error) const {
  auto refuse = [&](const std::string& why) {
    *error = "the rsync target \"" + address() + "\" is refused: " + why;
    return false;
  };
  if (target_.empty()) return refuse("\"target\" is empty (give user@host:/folder/)");
  if (target_[0] == '-') return refuse("it starts with \"-\", which rsync would read as an option");
  if (target_.find("::") != std::string::npos || target_.starts_with("rsync://"))
    return refuse("an rsync daemon address; tarn publishes over SSH (user@host:/folder/)");
  if (!port_.empty()) {
    char* end = nullptr;
    long port = std::strtol(port_.c_str(), &end, 10);
    if (*end != '\0' || port < 1 || port > 65535 || !g_ascii_isdigit(port_[0]))
      return refuse("\"port\" " + port_ + " is not a port number (1 to 65535)");
  }
  if (!key_file_.empty() &&
      (key_file_[0] == '-' || key_file_.find_first_of("'\"\\\n\r\t") != std::string::npos))
    return refuse("\"keyFile\" " + key_file_ +
                  " starts with \"-\" or holds a quote mark, backslash or control character, "
                  "which rsync's -e option cannot carry; rename the key file");
  std::size_t colon = target_.find(':');
  std::size_t slash = target_.find('/');
  if (colon != std::string::npos && (slash == std::string::npos || colon < slash)) {
    std::string host = target_.substr(0, colon);
    if (host.empty() || host.back() == '@' || host.find_first_of(" \t") != std::string::npos)
      return refuse("no host before \":\"");
    // ssh takes the host after its options: "-oProxyCommand=..." would be one.
    if (host[host.rfind('@') + 1] == '-')
      return refuse("the host starts with \"-\", which ssh would read as an option");
    return CheckRemotePath(target_.substr(colon + 1), error) || refuse(*error);
  }
  return CheckLocalPath(workspace, error) || refuse(*error);
}

bool RsyncTarget::CheckRemotePath(const std::string& path, std::string* error) const {
  std::string folder = TrimSlashes(path);
  if (folder.empty() || folder == "." || folder == "./")
    *error = "no folder after \":\" names the login's home folder, whose files would be deleted";
  else if (folder == "/")
    *error = "the root folder \"/\"";
  else if (IsHomeRoot(folder))
    *error = "a home folder (" + folder + "); name a folder inside it";
  else if (HasParentStep(folder))
    *error = "the folder holds \"..\"";
  else
    return true;
  return false;
}

bool RsyncTarget::CheckLocalPath(const std::string& workspace, std::string* error) const {
  fs::path folder = fs::path(target_).lexically_normal();
  std::error_code ec;
  fs::path root = fs::weakly_canonical(fs::absolute(workspace, ec), ec);
  fs::path target = fs::weakly_canonical(folder, ec);
  auto within = [](const fs::path& inner, const fs::path& outer) {
    auto mismatch = std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end());
    return mismatch.first == outer.end();
  };
  std::string home = TrimSlashes(g_get_home_dir());
  if (!folder.is_absolute())
    *error = "a local folder must be an absolute path (or give user@host:/folder/)";
  else if (TrimSlashes(folder.string()) == "/")
    *error = "the root folder \"/\"";
  else if (TrimSlashes(target.string()) == home || IsHomeRoot(TrimSlashes(folder.string())))
    *error = "a home folder; name a folder inside it";
  else if (within(root, target))
    *error = "it is the workspace or a folder that holds it";
  else if (within(target, root / "public"))
    *error = "it is inside the workspace's public/";
  else
    return true;
  return false;
}

std::string RsyncTarget::RemoteShell() const {
  std::string shell = "ssh -o BatchMode=yes";
  if (!port_.empty()) shell += " -p " + port_;
  if (!key_file_.empty()) {
    std::string key = ExpandHome(key_file_);
    // rsync splits the value at blanks and honours single quotes.
    if (key.find(' ') != std::string::npos) key = "'" + key + "'";
    shell += " -i " + key;
  }
  return shell;
}

std::vector<std::string> RsyncTarget::Command() const {
  // --mkpath: the target's missing parent folders are made, as rclone does.
  return {"rsync",           "--archive", "--checksum", "--mkpath", "--itemize-changes",
          "--exclude=/.git", "-e",        RemoteShell()};
}

std::string RsyncTarget::Folder() const { return target_.back() == '/' ? target_ : target_ + "/"; }

std::vector<std::vector<std::string>> RsyncTarget::Passes(const std::string& public_dir,
                                                          const SiteMarker& marker) const {
  std::string source = TrimSlashes(public_dir) + "/";
  std::vector<std::vector<std::string>> passes(3, Command());
  passes[0].insert(passes[0].end(), {"--exclude=*.html", source, Folder()});
  passes[1].insert(passes[1].end(), {"--exclude=/index.html", source, Folder()});
  // Two sources: their contents meet in the target folder, and --delete
  // keeps what either holds.
  passes[2].insert(passes[2].end(),
                   {"--delete-after", source, TrimSlashes(marker.folder()) + "/", Folder()});
  return passes;
}

bool RsyncTarget::Inspect(const TargetRun& run, RemoteFolder* state) {
  // A folder that does not exist ends the listing with kPartialTransfer;
  // the first pass makes it.
  std::string listing;
  if (!RunListing({"rsync", "--list-only", "-e", RemoteShell(), Folder()}, kPartialTransfer, run,
                  &listing))
    return false;
  *state = SiteMarker::Classify(ListedNames(listing));
  return true;
}

}  // namespace tarn
