// OutputTree: the folder a build writes the site into, seen through the
// few operations a build needs. tarn writes to disk (DiskOutputTree); a
// unit test can hand the build a folder in memory instead
// (tests/support/memory_output_tree.h) and look at what it wrote, or put a
// link or a FIFO in its way.
//
// Paths are relative to the tree's root, with "/" between names and no "."
// or ".." steps; the caller makes sure of that. Operations report failure
// with a reason in *error (when given) and never throw.
//
// Thread safety: Write may be called from one other thread (a background
// writer) while the build's thread uses the rest.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class OutputTree {
 public:
  // What a path is, symbolic links not followed.
  enum class Kind { kMissing, kFolder, kFile, kLink, kOther };
  struct Entry {
    std::string name;
    Kind kind;
  };

  // What tells one version of a file from another without reading it:
  // its size and modification time.
  struct Stamp {
    std::uint64_t size = 0;
    std::int64_t seconds = 0;
    std::int64_t nanoseconds = 0;
    bool operator==(const Stamp&) const = default;
  };

  virtual ~OutputTree() = default;

  // relative as messages name it: the tree's path, "/", relative.
  virtual std::string Shown(std::string_view relative) const = 0;

  // True when nothing on the way down to relative (the root left out, its
  // own name included) is a symbolic link, so that writing or removing it
  // stays inside the tree; parts that do not exist yet are fine. False with
  // *error "PATH: is a symbolic link; ..." otherwise.
  virtual bool Contained(std::string_view relative, std::string* error) const = 0;

  virtual Kind KindOf(std::string_view relative) const = 0;

  // The entries of a folder ("" for the root), in no particular order;
  // empty when it is missing or cannot be read.
  virtual std::vector<Entry> List(std::string_view folder) const = 0;

  // Makes folder and the folders above it. False when one cannot be made,
  // with only the reason in *error (the caller says which file needed it).
  virtual bool MakeFolders(std::string_view folder, std::string* error) = 0;

  // Makes the file hold contents: a file that already does is left alone,
  // a replacement is atomic (render/output_file.h). Its folder must exist.
  // False with *error "PATH: reason" when it cannot be written.
  virtual bool Write(std::string_view relative, std::string_view contents, std::string* error) = 0;

  // Makes the file relative a copy of the plain file at source (outside
  // the tree), as CopyOutputFile does (render/output_file.h): left alone
  // when an earlier copy is unchanged, streamed otherwise, never read whole.
  // Its folder must exist. False with *error "PATH: reason" when it cannot
  // be copied.
  virtual bool CopyFile(const std::string& source, std::string_view relative,
                        std::string* error) = 0;

  // True when the file relative is already the copy of the plain file at
  // source that CopyFile would leave alone. A tree that cannot tell says
  // false, and the caller copies.
  virtual bool IsCopyOf(const std::string& /*source*/, std::string_view /*relative*/) const {
    return false;
  }

  // True with *stamp set when relative is a plain file (a link is not
  // followed). A tree that cannot tell says false, and a caller that would
  // trust an earlier file by its stamp writes it instead.
  virtual bool StampOf(std::string_view /*relative*/, Stamp* /*stamp*/) const { return false; }

  // Copies the folder at source (outside the tree; links in it followed)
  // onto relative, merging with what is there and overwriting files. False
  // with only the reason in *error at the first failure.
  virtual bool CopyFolder(const std::string& source, std::string_view relative,
                          std::string* error) = 0;

  // Removes the file relative, or the folder when it is empty. False with
  // only the reason in *error when it is there and cannot be removed.
  virtual bool Remove(std::string_view relative, std::string* error) = 0;
};

}  // namespace tarn
