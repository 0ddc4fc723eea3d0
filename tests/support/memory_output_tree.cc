#include "support/memory_output_tree.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "data/text_file.h"

namespace tarn {
namespace {

std::string Parent(const std::string& relative) {
  size_t slash = relative.rfind('/');
  return slash == std::string::npos ? "" : relative.substr(0, slash);
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder.empty() ? name : folder + "/" + name;
}

}  // namespace

void MemoryOutputTree::AddFile(const std::string& relative, std::string contents) {
  std::lock_guard<std::mutex> lock(mutex_);
  MakeFoldersLocked(Parent(relative), nullptr);
  files_[relative] = std::move(contents);
}

void MemoryOutputTree::AddLink(const std::string& relative) {
  std::lock_guard<std::mutex> lock(mutex_);
  MakeFoldersLocked(Parent(relative), nullptr);
  links_.insert(relative);
}

void MemoryOutputTree::AddOther(const std::string& relative) {
  std::lock_guard<std::mutex> lock(mutex_);
  MakeFoldersLocked(Parent(relative), nullptr);
  others_.insert(relative);
}

void MemoryOutputTree::FailWrites(const std::string& relative, std::string reason) {
  std::lock_guard<std::mutex> lock(mutex_);
  failing_[relative] = std::move(reason);
}

std::map<std::string, std::string> MemoryOutputTree::files() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return files_;
}

bool MemoryOutputTree::HasFolder(const std::string& relative) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return folders_.count(relative) > 0;
}

int MemoryOutputTree::writes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return writes_;
}

std::string MemoryOutputTree::Shown(std::string_view relative) const {
  return relative.empty() ? "public" : "public/" + std::string(relative);
}

bool MemoryOutputTree::Contained(std::string_view relative, std::string* error) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string path(relative);
  for (size_t end = 0; end != std::string::npos;) {
    end = path.find('/', end + 1);
    std::string part = path.substr(0, end);
    if (links_.count(part)) {
      if (error) *error = Shown(part) + ": is a symbolic link; nothing is written through it";
      return false;
    }
  }
  return true;
}

OutputTree::Kind MemoryOutputTree::KindLocked(const std::string& relative) const {
  if (relative.empty() || folders_.count(relative)) return Kind::kFolder;
  if (files_.count(relative)) return Kind::kFile;
  if (links_.count(relative)) return Kind::kLink;
  if (others_.count(relative)) return Kind::kOther;
  return Kind::kMissing;
}

OutputTree::Kind MemoryOutputTree::KindOf(std::string_view relative) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return KindLocked(std::string(relative));
}

std::vector<OutputTree::Entry> MemoryOutputTree::List(std::string_view folder) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Entry> entries;
  std::string parent(folder);
  auto add = [&](const std::string& path) {
    if (Parent(path) == parent && path != parent)
      entries.push_back({path.substr(parent.empty() ? 0 : parent.size() + 1), KindLocked(path)});
  };
  for (const auto& [path, contents] : files_) add(path);
  for (const std::string& path : folders_) add(path);
  for (const std::string& path : links_) add(path);
  for (const std::string& path : others_) add(path);
  return entries;
}

bool MemoryOutputTree::MakeFoldersLocked(const std::string& folder, std::string* error) {
  if (folder.empty()) return true;
  Kind kind = KindLocked(folder);
  if (kind == Kind::kFolder) return true;
  if (kind != Kind::kMissing) {
    if (error) *error = "File exists";
    return false;
  }
  if (!MakeFoldersLocked(Parent(folder), error)) return false;
  folders_.insert(folder);
  return true;
}

bool MemoryOutputTree::MakeFolders(std::string_view folder, std::string* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  return MakeFoldersLocked(std::string(folder), error);
}

bool MemoryOutputTree::Write(std::string_view relative, std::string_view contents,
                             std::string* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string path(relative);
  auto failing = failing_.find(path);
  if (failing != failing_.end() || KindLocked(Parent(path)) != Kind::kFolder ||
      (KindLocked(path) != Kind::kFile && KindLocked(path) != Kind::kMissing)) {
    if (error) {
      *error = Shown(path) + ": " +
               (failing != failing_.end() ? failing->second : "cannot be written here");
    }
    return false;
  }
  auto [it, fresh] = files_.emplace(path, std::string());
  if (!fresh && it->second == contents) return true;
  it->second = std::string(contents);
  ++writes_;
  return true;
}

bool MemoryOutputTree::CopyFile(const std::string& source, std::string_view relative,
                                std::string* error) {
  std::string contents;
  std::string reason;
  if (!ReadTextFile(source, &contents, &reason)) {
    if (error) *error = reason;
    return false;
  }
  return Write(relative, contents, error);
}

bool MemoryOutputTree::IsCopyOf(const std::string& source, std::string_view relative) const {
  std::string contents;
  if (!ReadTextFile(source, &contents)) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  auto file = files_.find(std::string(relative));
  return file != files_.end() && file->second == contents;
}

bool MemoryOutputTree::CopyFolder(const std::string& source, std::string_view relative,
                                  std::string* error) {
  namespace fs = std::filesystem;
  std::lock_guard<std::mutex> lock(mutex_);
  std::error_code ec;
  std::string base(relative);
  if (!MakeFoldersLocked(base, error)) return false;
  for (fs::recursive_directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec)) {
    std::string path = Join(base, it->path().lexically_relative(source).generic_string());
    if (it->is_directory(ec)) {
      if (!MakeFoldersLocked(path, error)) return false;
      continue;
    }
    std::string contents;
    if (!ReadTextFile(it->path().string(), &contents, error)) return false;
    files_[path] = std::move(contents);
    ++writes_;
  }
  if (ec && error) *error = ec.message();
  return !ec;
}

bool MemoryOutputTree::Remove(std::string_view relative, std::string* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string path(relative);
  if (files_.erase(path) || links_.erase(path) || others_.erase(path)) return true;
  if (!folders_.count(path)) return true;
  auto inside = [&](const std::string& entry) { return Parent(entry) == path; };
  bool empty = std::none_of(folders_.begin(), folders_.end(), inside) &&
               std::none_of(links_.begin(), links_.end(), inside) &&
               std::none_of(others_.begin(), others_.end(), inside) &&
               std::none_of(files_.begin(), files_.end(),
                            [&](const auto& file) { return inside(file.first); });
  if (!empty) {
    if (error) *error = "Directory not empty";
    return false;
  }
  folders_.erase(path);
  return true;
}

}  // namespace tarn
