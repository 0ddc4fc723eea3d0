#include "import/site_files.h"

#include <algorithm>
#include <iterator>
#include <system_error>

#include "import/import_text.h"

namespace tarn {

namespace fs = std::filesystem;

namespace {

// Content a generator renders that tarn does not.
constexpr const char* kOtherContentExtensions[] = {
    ".html", ".htm", ".org", ".adoc", ".asciidoc", ".rst", ".pandoc", ".textile", ".pdc"};

bool HasExtension(const fs::path& path, const auto& extensions) {
  std::string extension = ImportText::Lowered(path.extension().string());
  return std::any_of(std::begin(extensions), std::end(extensions),
                     [&](const char* e) { return extension == e; });
}

// Version-control folders and desktop litter, never copied.
bool IsLitter(const std::string& name) {
  return name == ".git" || name == ".svn" || name == ".hg" || name == ".DS_Store" ||
         name == "Thumbs.db";
}

}  // namespace

bool SiteFiles::IsMarkdown(const fs::path& path) { return HasExtension(path, kMarkdownExtensions); }

bool SiteFiles::IsOtherContent(const fs::path& path) {
  return HasExtension(path, kOtherContentExtensions);
}

std::string SiteFiles::Inside(const fs::path& path, const fs::path& base) {
  fs::path relative = path.lexically_normal().lexically_relative(base.lexically_normal());
  if (relative.empty() || *relative.begin() == "..") return "";
  return relative.generic_string();
}

std::vector<fs::path> SiteFiles::FilesUnder(const fs::path& root, const EnterFolder& enter,
                                            const OnLink& on_link) {
  std::vector<fs::path> files;
  std::error_code ec;
  fs::path real = fs::canonical(root, ec);
  if (ec) return files;  // missing or unreadable
  fs::path named = fs::absolute(root, ec).lexically_normal();
  if (!named.has_filename()) named = named.parent_path();  // "static/" as "static"
  if (real != named) {
    on_link(root);  // root, or a folder on its way, is a link
    return files;
  }
  fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const fs::directory_entry& entry = *it;
    std::string name = entry.path().filename().string();
    std::error_code status_ec;
    if (entry.is_symlink(status_ec)) {
      on_link(entry.path());
      continue;
    }
    if (entry.is_directory(status_ec)) {
      if (IsLitter(name) || !enter(entry.path())) it.disable_recursion_pending();
      continue;
    }
    if (entry.is_regular_file(status_ec) && !IsLitter(name)) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace tarn
