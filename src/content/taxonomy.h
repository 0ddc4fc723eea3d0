// Taxonomy: the posts grouped by one of their name lists (tags or
// categories), for the theme's tag and category pages.
//
// Names that differ only in ASCII case are one group (their pages would be
// one file on a case-insensitive disk); the group shows the spelling met
// first. Each group has a folder name that is safe to write under public/:
// an empty name, "." or "..", or a name holding "/", "\", "%" or a control
// character is percent-encoded, "index.html" (the name of the list of all
// beside the groups' folders) has its dot encoded, and a very long one is
// shortened with a hash of the whole name (PostIndex::ShortName), so no
// name leads outside its folder or collides with another after encoding.
//
// Thread safety: none.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "content/post_index.h"

namespace tarn {

class Taxonomy {
 public:
  struct Group {
    std::string name;        // as first written
    std::string folder;      // FolderName(name)
    std::vector<int> posts;  // indices into the posts, newest post time first
  };

  // Groups posts by their list names (&PostFile::tags or
  // &PostFile::categories). Groups come most used first, then by folder
  // name.
  Taxonomy(const std::vector<PostFile>& posts, const std::vector<std::string> PostFile::*names);

  const std::vector<Group>& groups() const { return groups_; }
  // The group a name belongs to; null when no post has it.
  const Group* Find(std::string_view name) const;

  static std::string FolderName(std::string_view name);
  // The name with ASCII letters in lower case: names equal under it share
  // a group.
  static std::string Fold(std::string_view name);

 private:
  std::vector<Group> groups_;
  std::map<std::string, size_t, std::less<>> by_folder_;
};

}  // namespace tarn
