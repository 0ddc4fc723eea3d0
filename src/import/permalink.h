// Permalink: the address a post had on a Hexo, Hugo or Jekyll site, expanded
// from that site's permalink pattern (":year/:month/:day/:title/" and the
// like), so that an imported post can keep it as an alias. Each generator
// turns titles and file names into address segments its own way; the three
// ways are here too, so that the expansion gives the address the old site
// really had.
//
// Thread safety: every function is pure and may be called on any thread.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace tarn {

class Permalink {
 public:
  // A post's date as written in its front matter or file name. The fields
  // are taken as written, without moving them to another time zone: the
  // generators put the date as written into the address.
  struct Date {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
  };

  // Reads the date at the start of text: "YYYY-MM-DD" or "YYYY/M/D",
  // optionally followed by " " or "T" and "H:MM" or "H:MM:SS"; anything
  // after that (fractions, a time zone) is ignored. Returns false, leaving
  // *date alone, for text that does not start with a valid calendar date.
  static bool ParseDate(std::string_view text, Date* date);

  // Expands pattern. Each ":name" (a colon and a run of letters, digits and
  // '_') becomes the date field of that name, when date is given, or else
  // values[name]; the result starts with "/" and has no empty segments
  // (an empty token leaves no "//"). Date fields: year, month, day, hour,
  // minute, second (two digits but the year), i_month, i_day (no leading
  // zero), short_year, y_day (three digits), yearday (no padding),
  // monthname/long_month, short_month, weekday (0 is Sunday), weekdayname/
  // long_day, short_day, week and w_year (ISO week), w_day (1 is Monday).
  // Returns "" and sets *error to "no value for :name" when a token has
  // neither, or when the result would leave the site ("..").
  static std::string Expand(std::string_view pattern, const Date* date,
                            const std::map<std::string, std::string>& values, std::string* error);

  // Hexo's slugize: control characters dropped, each run of white space and
  // ASCII punctuation becomes one "-", none at either end; lower-cased when
  // lower is set.
  static std::string HexoSlug(std::string_view text, bool lower);

  // Jekyll's slugify: each run of characters other than letters and digits
  // (with pretty, also other than ._~!$&'()+,;=@) becomes one "-", none at
  // either end; lower-cased unless keep_case.
  static std::string JekyllSlug(std::string_view text, bool pretty, bool keep_case);

  // Hugo's urlize: letters, digits, marks and ._-/\#+~@ kept, white space
  // between kept characters becomes one "-", everything else dropped;
  // lower-cased when lower is set.
  static std::string HugoSlug(std::string_view text, bool lower);
};

}  // namespace tarn
