// HexoTagTranslator: turns a Hexo post's tags into the Markdown or HTML
// they stand for, so that the imported post shows in tarn what it showed
// on the Hexo site and the blogger edits plain Markdown from then on:
//   code, codeblock [TITLE] [lang:LANG] [URL [LINK TEXT]]
//                                  a fenced code block in LANG, its title
//                                  and link in a line above it
//   blockquote [AUTHOR[, SOURCE]] [LINK [LINK TITLE]]
//                                  a Markdown quote, signed
//   pullquote [CLASS]              a <blockquote class="pullquote">
//   note [CLASS] [no-icon] [SUMMARY]
//                                  an alert block "> [!NOTE]" (info,
//                                  primary: NOTE; success: TIP; warning:
//                                  WARNING; danger: CAUTION)
//   post_link SLUG [TITLE], post_path SLUG
//                                  the link to the imported post's article
//   youtube ID                     a VideoEmbed; a playlist: a link to it
//   iframe URL                     a link to the framed page, or a
//                                  VideoEmbed for a YouTube or Vimeo player
//   raw ... endraw                 what it holds, as written
// asset_img, asset_link and asset_path naming a file of the post's asset
// folder are left for HexoSource to link; one naming no such file, an
// unknown tag, or one whose arguments it cannot use is left as written and
// listed. Front matter, fenced code and code spans are left alone.
//
// Thread safety: a value; Translate may run on any thread when the
// callbacks may.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarn {

class TagArguments;

class HexoTagTranslator {
 public:
  // The link to the article of the imported post with the slug (its path
  // under source/_posts/ without extension, or its file name alone) and
  // that post's title; an empty link when there is none.
  using Posts = std::function<std::pair<std::string, std::string>(const std::string& slug)>;
  // Whether the post's asset folder holds the file named.
  using Assets = std::function<bool(const std::string& file)>;
  // A tag left as written: its line and its text.
  using Left = std::vector<std::pair<int, std::string>>;

  HexoTagTranslator(Posts posts, Assets assets);

  // Translates the tags of *text, adding those left to *left. Returns how
  // many it translated.
  int Translate(std::string* text, Left* left) const;

 private:
  // Translate for text whose first line is line first_line of the post.
  int Translate(std::string* text, int first_line, Left* left) const;
  // The text for the tag name with arguments args, written at begin of
  // text; *end is where the text it replaces ends, moved past the end tag
  // of a block. Returns false when the tag is left as written.
  bool Replacement(std::string_view text, size_t begin, const std::string& name,
                   const std::string& args, int line, size_t* end, std::string* out, Left* left,
                   int* translated) const;
  // The text for the one-line tag name.
  bool InlineReplacement(const std::string& name, const TagArguments& args, std::string* out) const;

  Posts posts_;
  Assets assets_;
};

}  // namespace tarn
