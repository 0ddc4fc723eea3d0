// WorkspaceLayout: the names of the files and folders a workspace holds, in
// one place. Code that opens one of them builds its path here rather than
// spelling the name again.
//
// Thread safety: constants and a pure function.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

struct WorkspaceLayout {
  // The manager page as shipped, and the page rendered from it.
  static constexpr std::string_view kManagerPageTemplate = "template/index copy.html";
  static constexpr std::string_view kManagerPage = "template/index.html";
  static constexpr std::string_view kTemplateDir = "template";
  // The site's settings and the program's.
  static constexpr std::string_view kBaseConfig = "config/base.json";
  static constexpr std::string_view kConfIni = "config/conf.ini";
  static constexpr std::string_view kPostsDir = "_posts";
  static constexpr std::string_view kThemesDir = "themes";
  static constexpr std::string_view kPublicDir = "public";
  // What the program keeps between runs (the Markdown cache, autosaves).
  static constexpr std::string_view kStateDir = ".tarn";

  // root + "/" + relative; root has no trailing separator.
  static std::string Path(std::string_view root, std::string_view relative) {
    std::string path(root);
    path += '/';
    path += relative;
    return path;
  }
};

}  // namespace tarn
