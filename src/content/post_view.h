// PostView: what templates see of a post. The post index's records (the
// site data's posts and timeline), a page's own list of posts (the records
// without their Markdown) and the article page's post.* are all made here,
// from the PostFile, so no other code spells their members or reads them
// back out of the site data.
//
// A record holds title, url, absolute_url, content, author, post_time and
// update_time, in that order; a post with front matter adds tags,
// categories, description, excerpt and front. A post without front matter
// keeps exactly the seven. A blog with a language (system.language) adds
// post_date and update_date after the times: the day as that language
// writes it, for the page to show where the times stay machine-readable.
//
// Thread safety: const methods keep no state and may run on any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "content/post_index.h"
#include "data/json_document.h"

namespace tarn {

class PostView {
 public:
  // url_prefix: what a page's links start with ("." or the site's address
  // with AbsoluteUrl); site_url: system.url; author: system.author;
  // language: the blog's checked language tag (LanguageTag::Checked), ""
  // when it names none.
  PostView(std::string url_prefix, std::string site_url, std::string author,
           std::string language = "");

  // The post's record; with_content false leaves out content (a list shows
  // no Markdown, and ten thousand copies of it would be costly).
  JsonDocument Record(const PostFile& post, bool with_content) const;

  // post.* of an article page, written into *page (the page's own data) in
  // place, in two steps as the page is made: Head (title, url,
  // absolute_url) before the post is converted, Body (content, times, the
  // front matter's members, or their removal for a post without) once its
  // HTML is there. Other members of post stay as they are.
  void SetHead(const PostFile& post, JsonDocument* page) const;
  void SetBody(const PostFile& post, std::string_view html, JsonDocument* page) const;

  // post.url and post.absolute_url of a page of _pages/, which is no
  // article: relative is its file under public/ ("about/index.html"),
  // given as a link (PostIndex::LinkName) after the prefix and after the
  // site's address. Call after SetHead, which gives the article's.
  void SetAddress(std::string_view relative, JsonDocument* page) const;

  // post.has_math of an article page: whether html, the post's converted
  // text, holds a formula (an element of class "math inline" or "math
  // display"), so the page can link a maths stylesheet only where needed.
  // The build sets it for themes that typeset maths while converting.
  void SetHasMath(std::string_view html, JsonDocument* page) const;

  // Replaces post.tags and post.categories, where *page has them, by lists
  // of {name, url}: url leads to the tag's or category's page, or is ""
  // when the theme writes no such pages.
  void LinkTerms(const PostFile& post, bool tag_pages, bool category_pages,
                 JsonDocument* page) const;

  // The link to the page of the tag or category whose folder name is
  // folder (Taxonomy::FolderName): url_prefix/member/FOLDER/index.html,
  // member "tags" or "categories".
  std::string TermPageLink(std::string_view member, std::string_view folder) const;

  // The newest update_time among posts (those at the indices in which)
  // that is not after not_after, both "yyyy-MM-dd HH:mm:ss"; "" for none.
  // For a list page's lastmod: a post dated ahead tells nothing of when
  // the list showing it changed.
  static std::string NewestUpdate(const std::vector<PostFile>& posts, std::string_view not_after);
  static std::string NewestUpdate(const std::vector<PostFile>& posts, const std::vector<int>& which,
                                  std::string_view not_after);

  const std::string& url_prefix() const { return url_prefix_; }
  const std::string& language() const { return language_; }

  // The day of time ("yyyy-MM-dd HH:mm:ss") as language writes it:
  // "June 15, 2024" (en, en-US), "15 June 2024" (English elsewhere),
  // "2024年6月15日" (zh), "2024-06-15" for a language without a form of
  // its own. time itself when it is not of that form.
  static std::string DateText(std::string_view language, std::string_view time);
  // The month of time the same way: "June 2024", "2024年6月", "2024-06".
  static std::string MonthText(std::string_view language, std::string_view time);

 private:
  std::string url_prefix_;
  std::string site_url_;
  std::string author_;
  std::string language_;
};

}  // namespace tarn
