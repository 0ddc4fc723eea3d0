// SearchIndex: public/search.json, what a theme's search box searches: one
// entry per published post with its title, url, date, tags and the first
// characters of its text.
//
// The text is the article's HTML reduced to plain text: tags dropped (and
// the contents of script and style elements), character references
// decoded, runs of white space made one space, cut after kTextLength
// characters, never inside a character.
//
// Thread safety: none.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class SiteRender;

class SearchIndex {
 public:
  // The build's step, for a theme with "search": true: public/search.json,
  // and the same entries as public/search.js for pages opened from disk
  // (browsers refuse to fetch files there, but run their scripts). Each
  // post's text is the plain text its article page noted. True; a file
  // that cannot be written fails the build without stopping it.
  static bool Write(SiteRender& site);

  static constexpr size_t kTextLength = 2000;

  // text: the post's plain text (PlainText).
  void Add(std::string_view title, std::string_view url, std::string_view date,
           const std::vector<std::string>& tags, std::string_view text);

  // The entries as a JSON array: the compact text JsonDocument::ToText
  // writes for the same entries (objects with title, url, date, tags and
  // text in that order), byte for byte.
  std::string Json() const;

  // At most max_chars characters of html's plain text.
  static std::string PlainText(std::string_view html, size_t max_chars);

 private:
  // "[" and the entries written so far, the closing "]" left off; empty
  // before the first.
  std::string entries_;
};

}  // namespace tarn
