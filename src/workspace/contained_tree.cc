#include "workspace/contained_tree.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "workspace/workspace.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

bool Inside(const fs::path& path, const fs::path& root) {
  return std::mismatch(root.begin(), root.end(), path.begin(), path.end()).first == root.end();
}

bool IsGenerated(const fs::path& relative) {
  return std::any_of(Workspace::kGeneratedPaths.begin(), Workspace::kGeneratedPaths.end(),
                     [&](std::string_view path) { return relative == fs::path(path); });
}

// Whether the link at link, followed to the end, lies outside real_root
// (a real path) or cannot be followed.
bool LeadsOut(const fs::path& link, const fs::path& real_root) {
  std::error_code ec;
  fs::path target = fs::read_symlink(link, ec);
  // An absolute target names a file of this computer, never one of the
  // tree, whatever it points at today.
  if (ec || target.empty() || target.is_absolute()) return true;
  fs::path folder = fs::canonical(link.parent_path(), ec);
  if (ec) return true;
  // Follows every link on the way that exists; what does not exist yet is
  // resolved by its name, "..", for one, included.
  fs::path resolved = fs::weakly_canonical(folder / target, ec);
  return ec || !Inside(resolved, real_root);
}

bool Exists(const fs::path& path) {
  std::error_code ignored;  // a missing path is an answer, not an error
  return fs::exists(fs::symlink_status(path, ignored));
}

}  // namespace

bool ContainedTree::RemoveEscapingLinks(const std::string& root, std::vector<std::string>* removed,
                                        std::string* error) {
  std::error_code ec;
  const fs::path real_root = fs::canonical(root, ec);
  if (ec) {
    *error = root + ": " + ec.message();
    return false;
  }
  // Decided for every link first, then removed: taking one away can only
  // leave another dangling, never make it lead out.
  std::vector<std::pair<fs::path, const char*>> escaping;
  fs::recursive_directory_iterator it(root, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it.depth() == 0 && it->path().filename() == ".git") {
      it.disable_recursion_pending();
      continue;
    }
    std::error_code kind;
    if (!it->is_symlink(kind)) continue;
    if (IsGenerated(it->path().lexically_relative(root)))
      escaping.emplace_back(it->path(), "stands where tarn writes");
    else if (LeadsOut(it->path(), real_root))
      escaping.emplace_back(it->path(), "leads out of the blog");
  }
  if (ec) {
    *error = root + ": " + ec.message();
    return false;
  }
  for (const auto& [link, why] : escaping) {
    std::string target = fs::read_symlink(link, ec).string();
    if (!fs::remove(link, ec)) {
      *error = link.string() + ": " + (ec ? ec.message() : "cannot be removed");
      return false;
    }
    removed->push_back(link.lexically_relative(root).string() + " (a link to " + target + ") " +
                       why);
  }
  return true;
}

bool ContainedTree::CopyMissing(const std::string& from, const std::string& to,
                                std::string* error) {
  std::error_code ec;
  if (Exists(to)) {
    if (!fs::is_directory(fs::symlink_status(to, ec))) return true;  // nothing through a link
  } else if (!fs::create_directory(to, ec)) {
    *error = to + ": " + (ec ? ec.message() : "cannot be made");
    return false;
  }
  fs::directory_iterator it(from, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const fs::path target = fs::path(to) / it->path().filename();
    std::error_code kind_error;
    fs::file_status kind = it->symlink_status(kind_error);
    if (fs::is_directory(kind)) {
      if (!CopyMissing(it->path().string(), target.string(), error)) return false;
    } else if (fs::is_regular_file(kind) && !Exists(target)) {
      // Without overwrite the target is created exclusively: a link that
      // appeared in between is not followed either.
      if (!fs::copy_file(it->path(), target, fs::copy_options::none, ec)) {
        *error = target.string() + ": " + (ec ? ec.message() : "cannot be copied");
        return false;
      }
    }
  }
  if (ec) {
    *error = from + ": " + ec.message();
    return false;
  }
  return true;
}

}  // namespace tarn
