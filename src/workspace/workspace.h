// Workspace: where a blog's files and folders are. A workspace is a folder
// holding _posts/ (the posts), _pages/ (Markdown pages that are not posts:
// an about page, a list of projects), config/ (base.json, conf.ini), themes/,
// template/ (the program's own pages), static/ (files copied into the site
// as they are), public/ (the generated site, a git work tree) and .tarn/
// (what the program keeps between runs: the Markdown cache, autosaves).
//
// Code that opens one of them asks here rather than spelling the name
// again, so the layout is written down once. Paths are the root followed by
// "/" and the fragment; nothing is normalised and nothing is looked at on
// disk.
//
// Thread safety: a value; const methods may be called from any thread.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <utility>

namespace tarn {

class Workspace {
 public:
  // Fragments relative to the root.
  // The manager page as shipped, and the page rendered from it.
  static constexpr std::string_view kManagerPageTemplate = "template/index copy.html";
  static constexpr std::string_view kManagerPage = "template/index.html";
  // The post editor's page.
  static constexpr std::string_view kEditorPage = "template/editor.html";
  static constexpr std::string_view kTemplateDir = "template";
  // The site's settings and the program's.
  static constexpr std::string_view kConfigDir = "config";
  static constexpr std::string_view kBaseConfig = "config/base.json";
  static constexpr std::string_view kConfIni = "config/conf.ini";
  static constexpr std::string_view kPostsDir = "_posts";
  // Pages that are not posts; a workspace may have none, and tarn init
  // makes none.
  static constexpr std::string_view kPagesDir = "_pages";
  static constexpr std::string_view kThemesDir = "themes";
  static constexpr std::string_view kStaticDir = "static";
  // Where the editor keeps images pasted or dropped into a post (ImageStore);
  // the build copies them to public/images/ with the rest of static/.
  static constexpr std::string_view kImagesDir = "static/images";
  static constexpr std::string_view kPublicDir = "public";
  static constexpr std::string_view kStateDir = ".tarn";
  // The folders that hold the blogger's sources: what a preview stages and
  // watches. The rendered manager page inside template/ is the program's.
  static constexpr std::array<std::string_view, 6> kSourceFolders = {
      kPostsDir, kPagesDir, kConfigDir, kStaticDir, kTemplateDir, kThemesDir};

  // What the program writes itself: the generated site, its private state
  // and the rendered manager page. A backup never holds them, and a
  // restore takes no link there from one.
  static constexpr std::array<std::string_view, 3> kGeneratedPaths = {kPublicDir, kStateDir,
                                                                      kManagerPage};

  // root: the workspace folder, without a trailing separator.
  explicit Workspace(std::string root) : root_(std::move(root)) {}

  const std::string& root() const { return root_; }

  // root + "/" + relative.
  std::string Path(std::string_view relative) const { return Path(root_, relative); }
  static std::string Path(std::string_view root, std::string_view relative) {
    std::string path(root);
    path += '/';
    path += relative;
    return path;
  }

  std::string posts_dir() const { return Path(kPostsDir); }
  std::string pages_dir() const { return Path(kPagesDir); }
  std::string config_dir() const { return Path(kConfigDir); }
  std::string themes_dir() const { return Path(kThemesDir); }
  std::string template_dir() const { return Path(kTemplateDir); }
  std::string static_dir() const { return Path(kStaticDir); }
  std::string public_dir() const { return Path(kPublicDir); }
  std::string state_dir() const { return Path(kStateDir); }
  std::string base_config() const { return Path(kBaseConfig); }
  std::string conf_ini() const { return Path(kConfIni); }
  std::string manager_page_template() const { return Path(kManagerPageTemplate); }
  std::string manager_page() const { return Path(kManagerPage); }
  std::string editor_page() const { return Path(kEditorPage); }
  std::string images_dir() const { return Path(kImagesDir); }

  // A file or folder inside one of the folders above: posts_dir() + "/" +
  // name, and so on. name is not checked; names that come from a page or a
  // setting go through ContainedPath first.
  std::string PostPath(std::string_view name) const { return Path(posts_dir(), name); }
  std::string PublicPath(std::string_view relative) const { return Path(public_dir(), relative); }
  std::string StatePath(std::string_view relative) const { return Path(state_dir(), relative); }
  std::string StaticPath(std::string_view relative) const { return Path(static_dir(), relative); }
  // themes/NAME: the folder of the theme named in system.theme.
  std::string ThemeDir(std::string_view theme) const { return Path(themes_dir(), theme); }

 private:
  std::string root_;
};

}  // namespace tarn
