// DiskOutputTree: the OutputTree of a folder on disk, public/ for a build.
// Files are written with WriteOutputFile (unchanged files left alone,
// replacements atomic) and checked with OutputPathIsContained
// (render/output_file.h).
//
// Thread safety: as OutputTree; the object keeps no state but its root.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "render/output_tree.h"

namespace tarn {

class DiskOutputTree : public OutputTree {
 public:
  // root: the folder, without a trailing separator. It need not exist yet.
  explicit DiskOutputTree(std::string root) : root_(std::move(root)) {}

  std::string Shown(std::string_view relative) const override;
  bool Contained(std::string_view relative, std::string* error) const override;
  Kind KindOf(std::string_view relative) const override;
  std::vector<Entry> List(std::string_view folder) const override;
  bool MakeFolders(std::string_view folder, std::string* error) override;
  bool Write(std::string_view relative, std::string_view contents, std::string* error) override;
  bool CopyFile(const std::string& source, std::string_view relative, std::string* error) override;
  bool IsCopyOf(const std::string& source, std::string_view relative) const override;
  bool StampOf(std::string_view relative, Stamp* stamp) const override;
  bool CopyFolder(const std::string& source, std::string_view relative,
                  std::string* error) override;
  bool Remove(std::string_view relative, std::string* error) override;

 private:
  std::string root_;
};

}  // namespace tarn
