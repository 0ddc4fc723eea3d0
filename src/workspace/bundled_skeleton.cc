#include "workspace/bundled_skeleton.h"

#include <filesystem>

#include "workspace/workspace.h"

namespace tarn {

namespace fs = std::filesystem;

std::string BundledSkeleton::Find(const std::string& executable_folder) {
  if (executable_folder.empty()) return "";
  for (const char* relative : {kInstalledPath, kBuildTreePath}) {
    fs::path candidate = fs::path(executable_folder) / relative;
    std::error_code ec;
    if (fs::is_directory(candidate / Workspace::kConfigDir, ec))
      return candidate.lexically_normal().string();
  }
  return "";
}

std::string BundledSkeleton::Describe() const { return "the bundled blog in " + folder_; }

bool BundledSkeleton::Fill(const std::string& stage, std::string* error) {
  std::error_code ec;
  fs::recursive_directory_iterator it(folder_, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    fs::path to = fs::path(stage) / fs::relative(it->path(), folder_);
    fs::file_status status = it->symlink_status(ec);
    if (ec) {
    } else if (fs::is_directory(status)) {
      fs::create_directory(to, ec);
    } else if (fs::is_regular_file(status)) {
      fs::copy_file(it->path(), to, fs::copy_options::none, ec);
    }
    // Anything else (a link, a device) is no part of a blog: left out.
    if (ec) {
      if (error) *error = to.string() + ": " + ec.message();
      return false;
    }
  }
  if (ec) {
    if (error) *error = folder_ + ": " + ec.message();
    return false;
  }
  return true;
}

}  // namespace tarn
