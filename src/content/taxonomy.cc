#include "content/taxonomy.h"

#include <algorithm>
#include <cctype>

namespace tarn {
namespace {

constexpr size_t kMaxFolderBytes = 160;  // well inside a file name's 255 bytes

bool NeedsEncoding(unsigned char c) {
  return c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == '%';
}

void AppendEncoded(std::string* out, unsigned char c) {
  static const char kHex[] = "0123456789ABCDEF";
  out->push_back('%');
  out->push_back(kHex[c >> 4]);
  out->push_back(kHex[c & 15]);
}

}  // namespace

std::string Taxonomy::Fold(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

std::string Taxonomy::FolderName(std::string_view name) {
  std::string folder;
  if (name.empty()) return "%00";
  if (name == "." || name == "..") {
    for (char c : name) AppendEncoded(&folder, static_cast<unsigned char>(c));
    return folder;
  }
  for (char c : name) {
    if (NeedsEncoding(static_cast<unsigned char>(c)))
      AppendEncoded(&folder, static_cast<unsigned char>(c));
    else
      folder.push_back(c);
  }
  // Its page would take the name of the list of all beside it.
  if (folder == "index.html") return "index%2Ehtml";
  return PostIndex::ShortName(folder, name, kMaxFolderBytes);
}

Taxonomy::Taxonomy(const std::vector<PostFile>& posts,
                   const std::vector<std::string> PostFile::*names) {
  std::map<std::string, size_t> by_fold;
  int n = static_cast<int>(posts.size());
  for (int i = 0; i < n; ++i) {
    const PostFile& post = posts[static_cast<size_t>(i)];
    for (const std::string& name : post.*names) {
      auto [it, fresh] = by_fold.emplace(Fold(name), groups_.size());
      if (fresh) groups_.push_back(Group{name, FolderName(Fold(name)), {}});
      Group& group = groups_[it->second];
      if (!group.posts.empty() && group.posts.back() == i) continue;  // named twice
      group.posts.push_back(i);
    }
  }
  for (Group& group : groups_) {
    std::stable_sort(group.posts.begin(), group.posts.end(),
                     [&](int a, int b) { return posts[a].post_time > posts[b].post_time; });
  }
  std::stable_sort(groups_.begin(), groups_.end(), [](const Group& a, const Group& b) {
    if (a.posts.size() != b.posts.size()) return a.posts.size() > b.posts.size();
    return a.folder < b.folder;
  });
  for (size_t i = 0; i < groups_.size(); ++i) by_folder_.emplace(groups_[i].folder, i);
}

const Taxonomy::Group* Taxonomy::Find(std::string_view name) const {
  auto it = by_folder_.find(FolderName(Fold(name)));
  return it == by_folder_.end() ? nullptr : &groups_[it->second];
}

}  // namespace tarn
