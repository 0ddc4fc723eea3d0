// BundledSkeleton: the blog that ships with tarn (config, the default theme,
// the program's pages with their vendored libraries, a welcome post and a
// .gitignore), copied from the folder the build or the package put it in.
//
// Thread safety: any thread.
#pragma once

#include <string>

#include "workspace/skeleton_source.h"

namespace tarn {

class BundledSkeleton : public SkeletonSource {
 public:
  // The skeleton's place relative to the executable's folder: installed
  // under PREFIX/share, or inside a build tree.
  static constexpr char kInstalledPath[] = "../share/tarn/skeleton";
  static constexpr char kBuildTreePath[] = "share/tarn/skeleton";

  explicit BundledSkeleton(std::string folder) : folder_(std::move(folder)) {}

  // The skeleton folder that belongs to the executable in executable_folder,
  // or "" when there is none.
  static std::string Find(const std::string& executable_folder);

  std::string Describe() const override;
  // Copies every file and folder of the skeleton; fails naming the first
  // file that could not be copied.
  bool Fill(const std::string& stage, std::string* error) override;

 private:
  std::string folder_;
};

}  // namespace tarn
