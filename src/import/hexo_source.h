// HexoSource: a Hexo site as the importer reads it. Posts are the Markdown
// files under source/_posts/ (sub-folders too), drafts those under
// source/_drafts/; a folder beside a post of the same name is that post's
// asset folder, whose files its {% asset_img %}, {% asset_link %} and
// {% asset_path %} tags name. Every other file under source/ becomes a
// static file, but for Markdown pages and names starting with "_" or ".",
// which Hexo leaves out too.
//
// Old addresses follow _config.yml: permalink (":year/:month/:day/:title/"
// by default), new_post_name (how a post's file name gives :title and,
// when it has them, the date), default_category and permalink_defaults;
// a post's own permalink wins. :hash is told where the post's moment is:
// its date has an offset, or the site names its timezone. categories
// written as a list are one nested path, as Hexo reads them.
//
// Thread safety: none; the thread that runs the import uses it.
#pragma once

#include <ctime>
#include <map>

#include "import/hexo_post_name.h"
#include "import/import_source.h"

namespace tarn {

class HexoSource : public ImportSource {
 public:
  // folder: the site's root, canonical; report must outlive the source.
  HexoSource(std::filesystem::path folder, const ImportReport* report);

  // Whether folder looks like a Hexo site: a source/_posts or
  // source/_drafts folder.
  static bool Recognizes(const std::filesystem::path& folder);

  // text with each asset tag that names a file of the folder assets
  // replaced by what it stands for, its address being folder_link followed
  // by the file's name: asset_img by a Markdown image (width and height
  // dropped, the rest its title), asset_link by a link (titled by the rest,
  // else the name), asset_path by the address alone. Tags naming no file of
  // assets, and other tags, stay as they are. Adds the number replaced to
  // *replaced.
  static std::string ReplaceAssetTags(const std::string& text, const std::filesystem::path& assets,
                                      const std::string& folder_link, int* replaced);

  std::string_view generator() const override { return "Hexo"; }
  std::vector<Post> Posts() const override;
  // categories as Hexo reads them: a list is one path of nested
  // categories ("a/b"), a list of lists several.
  std::map<std::string, std::vector<std::string>> ListsAsRead(
      const FrontMatter& front) const override;
  std::vector<StaticRoot> StaticRoots() const override;
  // Translates the post's tags (HexoTagTranslator); post_link and
  // post_path find a post by its path under source/_posts/ or its name.
  Translated TranslateTags(const Post& post, const Articles& articles, const ImportReport& report,
                           std::string* text) const override;
  int ReplaceOwnTags(const Post& post, const std::string& folder_link,
                     std::string* text) const override;

  // Hexo's :hash: the first twelve hex digits of the SHA-1 of the post's
  // :title followed by its moment in seconds since 1970.
  static std::string HashOf(const std::string& title, std::time_t moment);

 protected:
  bool LoadSettings() override;
  // The date new_post_name's :year, :month and :day give the file name.
  std::optional<Permalink::Date> ImpliedDate(const Post& post, const FrontMatter& front,
                                             std::string* key) const override;
  std::string AddressOf(const Post& post, const FrontMatter& front,
                        std::optional<Permalink::Date> date, std::string* why) const override;

 private:
  // The values a permalink of post may name: its front matter's keys,
  // then Hexo's own (title, name, post_title, category), then the site's
  // permalink_defaults where neither has one.
  std::map<std::string, std::string> AddressValues(const FrontMatter& front,
                                                   const std::string& title) const;
  // :category: the post's last category with its parents ("a/b"), or the
  // site's default category.
  std::string CategoryOf(const FrontMatter& front) const;

  std::string permalink_;
  HexoPostName post_name_;
  std::string default_category_ = "uncategorized";
  std::map<std::string, std::string> permalink_defaults_;
};

}  // namespace tarn
