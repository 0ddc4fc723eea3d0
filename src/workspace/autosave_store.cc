#include "workspace/autosave_store.h"

#include <cstdio>
#include <filesystem>

#include <glib.h>

#include "data/text_file.h"
#include "workspace/workspace.h"

namespace tarn {

AutosaveStore::AutosaveStore(std::string root) : root_(std::move(root)) {}

std::string AutosaveStore::PathFor(const std::string& post_path) const {
  Workspace workspace(root_);
  std::string folder = workspace.StatePath("autosave/");
  if (post_path.empty()) return folder + "new.md";
  std::filesystem::path path(post_path);
  std::string name = path.filename().string();
  if (path.parent_path() == std::filesystem::path(workspace.posts_dir())) {
    return folder + "posts/" + name;
  }
  gchar* hash = g_compute_checksum_for_string(G_CHECKSUM_SHA256, post_path.c_str(), -1);
  std::string prefix = std::string(hash).substr(0, 12);
  g_free(hash);
  return folder + "other/" + prefix + "-" + name;
}

bool AutosaveStore::Write(const std::string& post_path, const std::string& text,
                          std::string* error) const {
  std::string path = PathFor(post_path);
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  if (ec) {
    *error = std::filesystem::path(path).parent_path().string() + ": " + ec.message();
    return false;
  }
  return WriteTextFile(path, text, error);
}

bool AutosaveStore::Read(const std::string& post_path, std::string* text) const {
  return ReadTextFile(PathFor(post_path), text);
}

void AutosaveStore::Remove(const std::string& post_path) const {
  std::remove(PathFor(post_path).c_str());
}

}  // namespace tarn
