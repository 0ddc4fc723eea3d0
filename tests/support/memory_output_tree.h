// MemoryOutputTree: an OutputTree held in memory, for unit tests of what a
// build writes into public/. Files, folders, symbolic links and "other"
// entries (FIFOs, devices) can be put in its way; what the build wrote can
// be read back. Its messages name paths as "public/RELATIVE" and follow the
// disk tree's forms.
//
// Thread safety: every method takes the tree's lock (a background writer
// writes from its own thread).
#pragma once

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "render/output_tree.h"

namespace tarn {

class MemoryOutputTree : public OutputTree {
 public:
  // Putting things in the build's way. A link leads nowhere the build may go.
  void AddFile(const std::string& relative, std::string contents);
  void AddLink(const std::string& relative);
  void AddOther(const std::string& relative);
  // Writes to relative fail with this reason from now on.
  void FailWrites(const std::string& relative, std::string reason);

  // The files, relative path to contents.
  std::map<std::string, std::string> files() const;
  bool HasFolder(const std::string& relative) const;
  // How often a file was written with new contents (unchanged rewrites are
  // left alone, as on disk).
  int writes() const;

  std::string Shown(std::string_view relative) const override;
  bool Contained(std::string_view relative, std::string* error) const override;
  Kind KindOf(std::string_view relative) const override;
  std::vector<Entry> List(std::string_view folder) const override;
  bool MakeFolders(std::string_view folder, std::string* error) override;
  bool Write(std::string_view relative, std::string_view contents, std::string* error) override;
  bool CopyFile(const std::string& source, std::string_view relative, std::string* error) override;
  // True when the file holds the bytes of the file at source.
  bool IsCopyOf(const std::string& source, std::string_view relative) const override;
  bool CopyFolder(const std::string& source, std::string_view relative,
                  std::string* error) override;
  bool Remove(std::string_view relative, std::string* error) override;

 private:
  Kind KindLocked(const std::string& relative) const;
  bool MakeFoldersLocked(const std::string& folder, std::string* error);

  mutable std::mutex mutex_;
  std::map<std::string, std::string> files_;
  std::set<std::string> folders_;
  std::set<std::string> links_;
  std::set<std::string> others_;
  std::map<std::string, std::string> failing_;
  int writes_ = 0;
};

}  // namespace tarn
