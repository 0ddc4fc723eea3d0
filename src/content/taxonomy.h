// Taxonomy: the posts grouped by one of their name lists ("tags" or
// "categories" of the post records), for the theme's tag and category
// pages.
//
// Names that differ only in ASCII case are one group (their pages would be
// one file on a case-insensitive disk); the group shows the spelling met
// first. Each group has a folder name that is safe to write under public/:
// an empty name, "." or "..", or a name holding "/", "\", "%" or a control
// character is percent-encoded, and a very long one is shortened with a
// hash of the whole name, so no name leads outside its folder or collides
// with another after encoding.
//
// Thread safety: none.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "data/json_document.h"

namespace tarn {

class Taxonomy {
 public:
  struct Group {
    std::string name;           // as first written
    std::string folder;         // FolderName(name)
    std::vector<int> posts;     // indices into the posts array, newest first
    std::string newest_update;  // the latest update_time among them
  };

  // Groups the records of data's array posts_path by their member (an array
  // of texts; a single text counts as a list of one). Groups come most used
  // first, then by folder name.
  Taxonomy(const JsonDocument& data, std::string_view posts_path, std::string_view member);

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
