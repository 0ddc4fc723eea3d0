#include "import/source_date.h"

#include <glib.h>

namespace tarn {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool SourceDate::HasOffset(std::string_view text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  size_t time = text.find_first_of("Tt ", 8);
  if (time == std::string_view::npos || text.find(':', time) == std::string_view::npos) {
    return false;
  }
  if (text.back() == 'Z' || text.back() == 'z') return true;
  // "+HH:MM", "+HHMM" or "+HH" after the seconds.
  size_t sign = text.find_last_of("+-");
  if (sign == std::string_view::npos || sign <= time) return false;
  std::string_view offset = text.substr(sign + 1);
  size_t digits = 0;
  for (char c : offset) {
    if (IsDigit(c)) {
      ++digits;
    } else if (c != ':') {
      return false;
    }
  }
  return digits == 2 || digits == 4;
}

std::string SourceDate::Stamp(const Permalink::Date& date, const std::string& zone) {
  GTimeZone* tz = g_time_zone_new_identifier(zone.c_str());
  if (!tz) return "";
  GDateTime* moment =
      g_date_time_new(tz, date.year, date.month, date.day, date.hour, date.minute, date.second);
  g_time_zone_unref(tz);
  if (!moment) return "";
  gchar* text = g_date_time_format(moment, "%Y-%m-%dT%H:%M:%S%:z");
  g_date_time_unref(moment);
  std::string stamp = text ? text : "";
  g_free(text);
  return stamp;
}

}  // namespace tarn
