#include "workspace/bundled_skeleton.h"

#include <filesystem>

#include "workspace/contained_tree.h"
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
  // Links and devices are no part of a blog: left out.
  std::string ignored;
  return ContainedTree::CopyMissing(folder_, stage, error ? error : &ignored);
}

}  // namespace tarn
