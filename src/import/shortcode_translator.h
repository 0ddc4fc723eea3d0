// ShortcodeTranslator: turns a Hugo post's shortcodes into the Markdown or
// HTML they stand for, so that the imported post shows in tarn what it
// showed on the Hugo site and the blogger edits plain Markdown from then
// on:
//   highlight LANG ... /highlight    a fenced code block in LANG
//   figure src= alt= title= caption= link=
//                                    an image, in a <figure> when it has a
//                                    title or caption
//   ref, relref PATH                 the link to the imported post's article
//   youtube ID, vimeo ID             a VideoEmbed
//   x, tweet, twitter user= id=      a link to the post on X
//   gist USER ID, instagram ID       a link to the gist or picture
//   param KEY                        the page's (else the site's) parameter
// An escaped shortcode {{</* NAME */>}} becomes the text {{< NAME >}} that
// Hugo shows. A shortcode it does not know, or one whose arguments it
// cannot use, is left as written and listed. Front matter, fenced code
// and code spans are left alone.
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

class ShortcodeTranslator {
 public:
  // The value of a page or site parameter, or "" when it has none.
  using Params = std::function<std::string(const std::string& key)>;
  // The link to the article of the post a ref names (its path as Hugo
  // reads it, without "#fragment"), or "" when it is no imported post.
  using Refs = std::function<std::string(const std::string& path)>;
  // A shortcode left as written: its line and its text.
  using Left = std::vector<std::pair<int, std::string>>;

  ShortcodeTranslator(Params params, Refs refs);

  // Translates the shortcodes of *text, adding those left to *left.
  // Returns how many it translated.
  int Translate(std::string* text, Left* left) const;

 private:
  // The text for the shortcode name with arguments args, written at begin
  // of text; *end is where
  // the text it replaces ends, moved past a closing tag when it has a
  // body. Returns false when the shortcode is left as written.
  bool Replacement(std::string_view text, size_t begin, const std::string& name,
                   const std::string& args, size_t* end, std::string* out) const;

  Params params_;
  Refs refs_;
};

}  // namespace tarn
