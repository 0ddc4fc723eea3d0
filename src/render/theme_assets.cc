#include "render/theme_assets.h"

#include <filesystem>
#include <string>

#include "render/site_render.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

constexpr char kFolder[] = "assets";

// True when the theme's folder holds only folders and plain files, links
// followed; reports the first thing that is not.
bool CopyableSource(SiteRender& site, const fs::path& root) {
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code type_ec;
    fs::file_status status = it->status(type_ec);
    if (fs::is_directory(status) || fs::is_regular_file(status)) continue;
    site.Fail(it->path().string() + (fs::exists(status)
                                         ? ": is not a regular file (a FIFO, socket or device)"
                                         : ": is a link to nothing"));
    return false;
  }
  return true;
}

// True when the copy's destination holds only folders and plain files, no
// links; reports the first thing that is not.
bool CopyableDestination(SiteRender& site, const std::string& folder) {
  PublicFolder& out = site.out();
  for (const OutputTree::Entry& entry : out.tree().List(folder)) {
    std::string relative = folder + "/" + entry.name;
    switch (entry.kind) {
      case OutputTree::Kind::kLink:
        return out.Allowed(relative);
      case OutputTree::Kind::kFolder:
        if (!CopyableDestination(site, relative)) return false;
        break;
      case OutputTree::Kind::kFile:
      case OutputTree::Kind::kMissing:
        break;
      case OutputTree::Kind::kOther:
        site.Fail(out.Shown(relative) + ": is not a regular file (a FIFO, socket or device)");
        return false;
    }
  }
  return true;
}

}  // namespace

bool ThemeAssets::Copy(SiteRender& site) {
  fs::path from = site.config().ThemeFile(kFolder);
  std::error_code ec;
  if (!fs::is_directory(from, ec)) return true;  // a theme without assets is fine
  PublicFolder& out = site.out();
  if (!out.Allowed(kFolder) || !CopyableSource(site, from) || !CopyableDestination(site, kFolder)) {
    site.Report(from.string() + ": the theme's assets are not copied");
    return true;
  }
  std::string reason;
  if (!out.tree().CopyFolder(from.string(), kFolder, &reason))
    site.Fail(from.string() + ": cannot copy to " + out.Shown(kFolder) + ": " + reason);
  for (fs::recursive_directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec))
    out.Generated(std::string(kFolder) + "/" + it->path().lexically_relative(from).string());
  return true;
}

}  // namespace tarn
