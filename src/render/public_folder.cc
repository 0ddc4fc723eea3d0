#include "render/public_folder.h"

#include <strings.h>

#include <utility>

namespace tarn {
namespace {

std::string_view FolderOf(std::string_view relative) {
  size_t slash = relative.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : relative.substr(0, slash);
}

std::string Join(std::string_view folder, std::string_view name) {
  std::string path(folder);
  path += '/';
  path += name;
  return path;
}

}  // namespace

PublicFolder::PublicFolder(OutputTree* tree, DiagnosticSink sink)
    : tree_(tree), sink_(std::move(sink)) {}

void PublicFolder::Report(const std::string& message) const {
  if (sink_) sink_(message);
}

void PublicFolder::Fail(const std::string& message) {
  Report(message);
  failed_ = true;
}

bool PublicFolder::Allowed(std::string_view relative) {
  std::string error;
  if (tree_->Contained(relative, &error)) return true;
  Fail(error);
  return false;
}

bool PublicFolder::MakeFoldersFor(std::string_view relative) {
  if (!Allowed(relative)) return false;
  std::string ignored;
  tree_->MakeFolders(FolderOf(relative), &ignored);
  return true;
}

bool PublicFolder::MakeFolder(std::string_view folder, const std::string& name,
                              const std::string& consequence) {
  if (!Allowed(folder)) {
    Report(Shown(folder) + ": " + consequence);
    return false;
  }
  std::string ignored;
  tree_->MakeFolders(folder, &ignored);
  if (tree_->KindOf(folder) == OutputTree::Kind::kFolder) return true;
  Fail(Shown(folder) + ": cannot create the " + name + " folder (" + consequence + ")");
  return false;
}

bool PublicFolder::Write(const std::string& relative, std::string_view contents) {
  Generated(relative);
  if (!Allowed(relative)) return false;
  std::string error;
  if (tree_->Write(relative, contents, &error)) return true;
  Fail(error);
  return false;
}

bool PublicFolder::ReadyFor(const std::string& relative, std::string* error) {
  if (!tree_->Contained(relative, error)) return false;
  std::string reason;
  if (tree_->MakeFolders(FolderOf(relative), &reason)) return true;
  *error = Shown(relative) + ": cannot create its folder: " + reason;
  return false;
}

bool PublicFolder::Put(const std::string& relative, std::string_view contents, std::string* error) {
  return ReadyFor(relative, error) && tree_->Write(relative, contents, error);
}

bool PublicFolder::PutCopy(const std::string& source, const std::string& relative,
                           std::string* error) {
  return ReadyFor(relative, error) && tree_->CopyFile(source, relative, error);
}

bool PublicFolder::InContainedFolder(const std::string& relative) {
  if (InGitFolder(relative)) return false;
  const std::string folder(FolderOf(relative));
  if (!contained_folders_.count(folder)) {
    if (!folder.empty() && !tree_->Contained(folder, nullptr)) return false;
    contained_folders_.insert(folder);
  }
  return true;
}

bool PublicFolder::HoldsCopyOf(const std::string& source, const std::string& relative) {
  return InContainedFolder(relative) && tree_->IsCopyOf(source, relative);
}

bool PublicFolder::HoldsStamped(const std::string& relative, const OutputTree::Stamp& stamp) {
  OutputTree::Stamp found;
  return InContainedFolder(relative) && tree_->StampOf(relative, &found) && found == stamp;
}

bool PublicFolder::GeneratedWithin(std::string_view relative) const {
  if (generated_.count(relative)) return true;
  std::string inside = std::string(relative) + '/';
  auto next = generated_.lower_bound(inside);
  return next != generated_.end() && next->compare(0, inside.size(), inside) == 0;
}

bool PublicFolder::PlainTree(std::string_view folder, bool remove) {
  std::string ignored;
  for (const OutputTree::Entry& entry : tree_->List(folder)) {
    std::string inner = Join(folder, entry.name);
    if (entry.kind == OutputTree::Kind::kFolder) {
      if (!PlainTree(inner, remove)) return false;
    } else if (entry.kind != OutputTree::Kind::kFile) {
      return false;
    } else if (remove) {
      tree_->Remove(inner, &ignored);
    }
  }
  if (remove) tree_->Remove(folder, &ignored);
  return true;
}

bool PublicFolder::InGitFolder(std::string_view relative) {
  for (std::size_t start = 0; start <= relative.size();) {
    std::size_t slash = relative.find('/', start);
    if (slash == std::string_view::npos) slash = relative.size();
    // Any case: on a disk that ignores it, ".GIT" is the repository too.
    if (slash - start == 4 && ::strncasecmp(relative.data() + start, ".git", 4) == 0) return true;
    start = slash + 1;
  }
  return false;
}

void PublicFolder::ClearWayFor(std::string_view relative) {
  // The deploy repository is git's, whatever a name asks for.
  if (InGitFolder(relative) || !tree_->Contained(relative, nullptr)) return;
  std::string ignored;
  for (std::size_t slash = relative.find('/'); slash != std::string_view::npos;
       slash = relative.find('/', slash + 1)) {
    std::string_view folder = relative.substr(0, slash);
    OutputTree::Kind kind = tree_->KindOf(folder);
    if (kind == OutputTree::Kind::kMissing) return;
    if (kind == OutputTree::Kind::kFile && !GeneratedWithin(folder))
      tree_->Remove(folder, &ignored);
  }
  if (tree_->KindOf(relative) == OutputTree::Kind::kFolder && !GeneratedWithin(relative) &&
      PlainTree(relative, false))
    PlainTree(relative, true);
}

std::unique_ptr<OutputWriter> PublicFolder::NewWriter() {
  OutputTree* tree = tree_;
  return std::make_unique<OutputWriter>(
      [tree](const std::string& relative, std::string_view contents, std::string* error) {
        return tree->Write(relative, contents, error);
      });
}

bool PublicFolder::WriteLater(OutputWriter* writer, const std::string& relative,
                              std::string contents) {
  Generated(relative);
  if (!Allowed(relative)) return false;
  writer->Write(relative, std::move(contents));
  return true;
}

int PublicFolder::Flush(OutputWriter* writer) {
  std::vector<std::string> errors = writer->Wait();
  for (const std::string& error : errors) Fail(error);
  return static_cast<int>(errors.size());
}

void PublicFolder::RemoveStaleFiles(std::string_view folder, const std::set<std::string>& keep,
                                    const std::string& what) {
  // Through a linked folder the removal would reach files outside public/.
  if (!Allowed(folder)) return;
  for (const OutputTree::Entry& entry : tree_->List(folder)) {
    const std::string& name = entry.name;
    if (name.size() < 5 || name.compare(name.size() - 5, 5, ".html") != 0) continue;
    // A link is the blogger's, never a page of ours: it stays, and so does
    // whatever it points at.
    if (entry.kind != OutputTree::Kind::kFile || keep.count(name)) continue;
    std::string relative = Join(folder, name);
    std::string reason;
    if (!tree_->Remove(relative, &reason)) Report(Shown(relative) + ": " + what + ": " + reason);
  }
}

void PublicFolder::RemoveStalePages(std::string_view folder, const std::set<std::string>& keep) {
  // Through a linked folder the removal would reach pages outside public/.
  if (!Allowed(folder)) return;
  for (const OutputTree::Entry& entry : tree_->List(folder)) {
    if (entry.kind != OutputTree::Kind::kFolder || keep.count(entry.name)) continue;
    std::string dir = Join(folder, entry.name);
    std::string page = dir + "/index.html";
    if (tree_->KindOf(page) != OutputTree::Kind::kFile) continue;
    std::string reason;
    if (!tree_->Remove(page, &reason)) {
      Report(Shown(page) + ": cannot remove a page that no longer exists: " + reason);
      continue;
    }
    tree_->Remove(dir, &reason);  // only when nothing else is left in it
  }
}

void PublicFolder::RemoveFile(std::string_view relative) {
  if (tree_->KindOf(relative) != OutputTree::Kind::kFile || !Allowed(relative)) return;
  std::string ignored;
  tree_->Remove(relative, &ignored);
}

void PublicFolder::RemoveLeftover(std::string_view relative) {
  if (GeneratedWithin(relative) || InGitFolder(relative)) return;
  if (tree_->KindOf(relative) != OutputTree::Kind::kFile || !Allowed(relative)) return;
  std::string reason;
  if (!tree_->Remove(relative, &reason)) {
    Report(Shown(relative) + ": cannot remove a page that no longer exists: " + reason);
    return;
  }
  // Each folder above goes when nothing else is left in it.
  std::string_view folder = FolderOf(relative);
  while (!folder.empty() && tree_->List(folder).empty() && tree_->Remove(folder, &reason))
    folder = FolderOf(folder);
}

}  // namespace tarn
