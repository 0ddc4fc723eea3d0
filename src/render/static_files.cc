#include "render/static_files.h"

#include <algorithm>
#include <filesystem>

namespace tarn {
namespace {

namespace fs = std::filesystem;

bool Inside(const fs::path& path, const fs::path& folder) {
  auto [end, rest] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
  return end == folder.end();
}

}  // namespace

bool StaticFiles::Copy(const Workspace& workspace, PublicFolder* out, const DiagnosticSink& sink,
                       const std::function<bool(const std::string&)>& published) {
  auto report = [&sink](const std::string& message) {
    if (sink) sink(message);
  };
  std::error_code ec;
  fs::path base = workspace.static_dir();
  if (!fs::is_directory(base, ec)) return true;
  // static/ itself may be a link (a preview's staging workspace links it):
  // links inside it may lead into the workspace or into static/'s target.
  fs::path inside = fs::canonical(workspace.root(), ec);
  fs::path target = fs::canonical(base, ec);
  if (ec) return true;
  bool ok = true;
  fs::recursive_directory_iterator it(base, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const fs::path& path = it->path();
    std::string shown =
        Workspace::Path(Workspace::kStaticDir, path.lexically_relative(base).generic_string());
    if (path.filename() == ".git") {
      it.disable_recursion_pending();
      continue;
    }
    std::error_code type_ec;
    fs::file_status status = it->symlink_status(type_ec);
    if (fs::is_directory(status)) continue;
    if (fs::is_symlink(status)) {
      std::error_code link_ec;
      fs::path file = fs::canonical(path, link_ec);
      if (link_ec || !(Inside(file, inside) || Inside(file, target))) {
        report(workspace.Path(shown) +
               ": a symbolic link that leads outside the workspace; not copied");
        continue;
      }
      status = fs::status(file, link_ec);
    }
    if (!fs::is_regular_file(status)) {
      report(workspace.Path(shown) + ": not a plain file; not copied");
      continue;
    }
    std::string relative = path.lexically_relative(base).generic_string();
    if (published && published(relative)) continue;
    if (out->IsGenerated(relative)) {
      report(workspace.Path(shown) + ": the build writes public/" + relative +
             " itself, and its file wins");
      continue;
    }
    std::string error;
    out->ClearWayFor(relative);
    if (!out->PutCopy(path.string(), relative, &error)) {
      report(error + " (copying " + shown + ")");
      ok = false;
    }
  }
  if (ec) {
    report(base.string() + ": cannot be read completely: " + ec.message());
    ok = false;
  }
  return ok;
}

}  // namespace tarn
