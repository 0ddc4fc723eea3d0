// PostSummary: the excerpt of a post without an excerpt marker, for themes
// that ask for one ("summary": true in their _conf.json): the first
// paragraph of the converted post, cut after kMaxWords words.
//
// Words are runs of characters between blanks; in scripts written without
// blanks (CJK, from U+3000 on) each character counts as a word. A cut
// paragraph ends in "…" and closes the inline elements left open, so the
// summary is whole HTML.
//
// Thread safety: static functions without shared state; any thread.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

class PostSummary {
 public:
  static constexpr int kMaxWords = 70;

  // The first "<p>" paragraph of html with at most kMaxWords words; "" when
  // html has no paragraph.
  static std::string Of(std::string_view html);
};

}  // namespace tarn
