#include "deploy/site_marker.h"

#include <glib.h>

#include <filesystem>

#include "data/text_file.h"

namespace tarn {
namespace {

constexpr char kText[] =
    "This folder is published by tarn: each publish replaces its files with the site's.\n";

}  // namespace

SiteMarker::SiteMarker(std::string* error) {
  GError* failure = nullptr;
  gchar* dir = g_dir_make_tmp("tarn-marker-XXXXXX", &failure);
  if (!dir) {
    *error = std::string("cannot make a temporary folder: ") + failure->message;
    g_error_free(failure);
    return;
  }
  folder_ = dir;
  g_free(dir);
  if (!WriteTextFile(file(), kText, error)) {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
    folder_.clear();
  }
}

SiteMarker::~SiteMarker() {
  if (folder_.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

RemoteFolder SiteMarker::Classify(const std::vector<std::string>& names) {
  bool any = false;
  for (const std::string& name : names) {
    if (name == kName) return RemoteFolder::kOurs;
    if (name != "." && name != ".." && !name.empty()) any = true;
  }
  return any ? RemoteFolder::kForeign : RemoteFolder::kEmpty;
}

}  // namespace tarn
