// SourceDate: a post's date as the importer writes it into the imported
// front matter: explicit, with the offset the old site's time zone gave a
// date written without one, so that the post keeps its moment whatever the
// time zone of the machine that builds it.
//
// Thread safety: pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

#include "import/permalink.h"

namespace tarn {

class SourceDate {
 public:
  // Whether the date text ends in a time zone: "Z" or "+HH:MM"/"-HHMM"
  // after a time of day. A date alone, or a time without one, has none.
  static bool HasOffset(std::string_view text);

  // date in the time zone zone (an IANA name such as "Europe/Berlin", or
  // "UTC"), as "YYYY-MM-DDTHH:MM:SS+HH:MM". Returns "" when zone is not a
  // time zone this machine knows.
  static std::string Stamp(const Permalink::Date& date, const std::string& zone);
};

}  // namespace tarn
