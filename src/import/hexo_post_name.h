// HexoPostName: Hexo's reading of a post's file name by the site's
// new_post_name setting (":title.md", ":year-:month-:day-:title.md"), which
// gives the fields its permalinks are made from: a post written as
// "2019-03-05-hello.md" under ":year-:month-:day-:title.md" has year 2019,
// month 03, day 05 and title "hello".
//
// The pattern is turned into one regular expression when the object is
// made, and matched against each post's name.
//
// Thread safety: const methods may be called from any thread.
#pragma once

#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "import/permalink.h"

namespace tarn {

class HexoPostName {
 public:
  // pattern: the new_post_name setting; its extension is not part of a
  // post's name. Each ":name" (letters, digits, '_') is a field: year (four
  // digits), month and day (two), i_month and i_day (one or two), hash
  // (twelve hex digits), any other name a shortest run of any characters.
  explicit HexoPostName(const std::string& pattern);

  // The fields of relative (the post's path under _posts, without its
  // extension, with "/" separators), "title" always among them: when the
  // name does not follow the pattern, or the pattern has no :title, the
  // title is Hexo's slug of relative.
  std::map<std::string, std::string> Fields(const std::string& relative) const;

  // The date fields give, when they have a year, a month and a day (padded
  // or not) that make a real date.
  static std::optional<Permalink::Date> DateIn(const std::map<std::string, std::string>& fields);

 private:
  std::regex expression_;
  std::vector<std::string> names_;  // the fields, in the order of the groups
};

}  // namespace tarn
