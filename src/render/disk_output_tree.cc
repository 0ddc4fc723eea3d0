#include "render/disk_output_tree.h"

#include <sys/stat.h>

#include <filesystem>
#include <utility>

#include "render/output_file.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

OutputTree::Kind KindOfStatus(fs::file_status status) {
  if (fs::is_symlink(status)) return OutputTree::Kind::kLink;
  if (fs::is_directory(status)) return OutputTree::Kind::kFolder;
  if (fs::is_regular_file(status)) return OutputTree::Kind::kFile;
  if (!fs::exists(status)) return OutputTree::Kind::kMissing;
  return OutputTree::Kind::kOther;
}

}  // namespace

std::string DiskOutputTree::Shown(std::string_view relative) const {
  if (relative.empty()) return root_;
  std::string path = root_;
  path += '/';
  path += relative;
  return path;
}

bool DiskOutputTree::Contained(std::string_view relative, std::string* error) const {
  return OutputPathIsContained(root_, Shown(relative), error);
}

OutputTree::Kind DiskOutputTree::KindOf(std::string_view relative) const {
  std::error_code ec;
  return KindOfStatus(fs::symlink_status(Shown(relative), ec));
}

std::vector<OutputTree::Entry> DiskOutputTree::List(std::string_view folder) const {
  std::vector<Entry> entries;
  std::error_code ec;
  for (fs::directory_iterator it(Shown(folder), ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code type_ec;
    entries.push_back({it->path().filename().string(), KindOfStatus(it->symlink_status(type_ec))});
  }
  return entries;
}

bool DiskOutputTree::MakeFolders(std::string_view folder, std::string* error) {
  std::error_code ec;
  fs::create_directories(Shown(folder), ec);
  if (ec && error) *error = ec.message();
  return !ec;
}

bool DiskOutputTree::Write(std::string_view relative, std::string_view contents,
                           std::string* error) {
  return WriteOutputFile(Shown(relative), contents, error);
}

bool DiskOutputTree::CopyFile(const std::string& source, std::string_view relative,
                              std::string* error) {
  return CopyOutputFile(source, Shown(relative), error);
}

bool DiskOutputTree::IsCopyOf(const std::string& source, std::string_view relative) const {
  return IsOutputCopyOf(source, Shown(relative));
}

bool DiskOutputTree::StampOf(std::string_view relative, Stamp* stamp) const {
  struct stat st {};
  if (::lstat(Shown(relative).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  *stamp = Stamp{static_cast<std::uint64_t>(st.st_size), st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
  return true;
}

bool DiskOutputTree::CopyFolder(const std::string& source, std::string_view relative,
                                std::string* error) {
  std::error_code ec;
  fs::copy(source, Shown(relative),
           fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
  if (ec && error) *error = ec.message();
  return !ec;
}

bool DiskOutputTree::Remove(std::string_view relative, std::string* error) {
  std::error_code ec;
  if (fs::remove(Shown(relative), ec) || !ec) return true;
  if (error) *error = ec.message();
  return false;
}

}  // namespace tarn
