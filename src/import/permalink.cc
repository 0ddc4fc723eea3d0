#include "import/permalink.h"

#include <glib.h>

#include <chrono>
#include <cstdio>
#include <optional>

namespace tarn {
namespace {

constexpr const char* kMonthNames[] = {"January",   "February", "March",    "April",
                                       "May",       "June",     "July",     "August",
                                       "September", "October",  "November", "December"};
constexpr const char* kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};

// Reads 1 to max_digits digits at text[*pos].
std::optional<int> ReadNumber(std::string_view text, size_t* pos, size_t max_digits) {
  size_t start = *pos;
  int value = 0;
  while (*pos < text.size() && *pos - start < max_digits && text[*pos] >= '0' &&
         text[*pos] <= '9') {
    value = value * 10 + (text[*pos] - '0');
    ++*pos;
  }
  if (*pos == start) return std::nullopt;
  return value;
}

std::string Padded(int value, int width) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
  return buffer;
}

// The text of a date token, or nullopt when name is not one.
std::optional<std::string> DateToken(const std::string& name, const Permalink::Date& d) {
  using namespace std::chrono;
  const year_month_day ymd{year{d.year}, month{static_cast<unsigned>(d.month)},
                           std::chrono::day{static_cast<unsigned>(d.day)}};
  const sys_days days{ymd};
  const unsigned weekday_c = weekday{days}.c_encoding();      // 0 = Sunday
  const unsigned weekday_iso = weekday{days}.iso_encoding();  // 1 = Monday
  const int year_day = (days - sys_days{year{d.year} / January / 1}).count() + 1;
  // The ISO week belongs to the year of its Thursday.
  const sys_days thursday = days + std::chrono::days{4 - static_cast<int>(weekday_iso)};
  const year_month_day thursday_ymd{thursday};
  const int week_year = static_cast<int>(thursday_ymd.year());
  const int week = (thursday - sys_days{thursday_ymd.year() / January / 1}).count() / 7 + 1;

  if (name == "year") return Padded(d.year, 4);
  if (name == "month") return Padded(d.month, 2);
  if (name == "day") return Padded(d.day, 2);
  if (name == "hour") return Padded(d.hour, 2);
  if (name == "minute") return Padded(d.minute, 2);
  if (name == "second") return Padded(d.second, 2);
  if (name == "i_month") return std::to_string(d.month);
  if (name == "i_day") return std::to_string(d.day);
  if (name == "short_year") return Padded(d.year % 100, 2);
  if (name == "y_day") return Padded(year_day, 3);
  if (name == "yearday") return std::to_string(year_day);
  if (name == "monthname" || name == "long_month") return kMonthNames[d.month - 1];
  if (name == "short_month") return std::string(kMonthNames[d.month - 1], 3);
  if (name == "weekday") return std::to_string(weekday_c);
  if (name == "weekdayname" || name == "long_day") return kDayNames[weekday_c];
  if (name == "short_day") return std::string(kDayNames[weekday_c], 3);
  if (name == "week") return Padded(week, 2);
  if (name == "w_year") return std::to_string(week_year);
  if (name == "w_day") return std::to_string(weekday_iso);
  return std::nullopt;
}

bool IsTokenChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// "/" first, no empty segments; false when a segment is "..".
bool NormalizePath(std::string_view raw, std::string* out) {
  out->assign("/");
  size_t i = 0;
  while (i < raw.size()) {
    size_t slash = raw.find('/', i);
    if (slash == std::string_view::npos) slash = raw.size();
    std::string_view segment = raw.substr(i, slash - i);
    if (segment == "..") return false;
    if (!segment.empty() && segment != ".") {
      out->append(segment);
      if (slash < raw.size()) out->push_back('/');
    }
    i = slash + 1;
  }
  return true;
}

// Calls keep(c) for each character of text (invalid UTF-8 bytes count as
// characters that are neither letters nor digits) and writes a separator
// for each run of characters it rejects: '-' once between kept text, never
// at either end.
template <typename Keep>
std::string Collapse(std::string_view text, Keep keep) {
  std::string out;
  bool pending = false;
  size_t i = 0;
  while (i < text.size()) {
    const char* p = text.data() + i;
    gunichar c = g_utf8_get_char_validated(p, static_cast<gssize>(text.size() - i));
    size_t length = 1;
    if (c != static_cast<gunichar>(-1) && c != static_cast<gunichar>(-2)) {
      length = static_cast<size_t>(g_utf8_next_char(p) - p);
    } else {
      c = 0xFFFD;
    }
    if (keep(c)) {
      if (pending && !out.empty()) out.push_back('-');
      pending = false;
      out.append(p, length);
    } else {
      pending = true;
    }
    i += length;
  }
  return out;
}

std::string Lower(const std::string& text) {
  gchar* lower = g_utf8_strdown(text.c_str(), static_cast<gssize>(text.size()));
  std::string out = lower ? lower : text;
  g_free(lower);
  return out;
}

}  // namespace

bool Permalink::ParseDate(std::string_view text, Date* date) {
  size_t pos = 0;
  Date d;
  auto year = ReadNumber(text, &pos, 4);
  if (!year || pos != 4 || pos >= text.size() || (text[pos] != '-' && text[pos] != '/')) {
    return false;
  }
  char separator = text[pos++];
  auto month = ReadNumber(text, &pos, 2);
  if (!month || pos >= text.size() || text[pos] != separator) return false;
  ++pos;
  auto day = ReadNumber(text, &pos, 2);
  if (!day) return false;
  using namespace std::chrono;
  if (!year_month_day{std::chrono::year{*year}, std::chrono::month{static_cast<unsigned>(*month)},
                      std::chrono::day{static_cast<unsigned>(*day)}}
           .ok()) {
    return false;
  }
  d.year = *year;
  d.month = *month;
  d.day = *day;
  if (pos + 1 < text.size() && (text[pos] == ' ' || text[pos] == 'T')) {
    size_t time_pos = pos + 1;
    auto hour = ReadNumber(text, &time_pos, 2);
    if (hour && *hour < 24 && time_pos < text.size() && text[time_pos] == ':') {
      ++time_pos;
      auto minute = ReadNumber(text, &time_pos, 2);
      if (minute && *minute < 60) {
        d.hour = *hour;
        d.minute = *minute;
        if (time_pos < text.size() && text[time_pos] == ':') {
          ++time_pos;
          auto second = ReadNumber(text, &time_pos, 2);
          if (second && *second < 61) d.second = *second;
        }
      }
    }
  }
  *date = d;
  return true;
}

std::string Permalink::Expand(std::string_view pattern, const Date* date,
                              const std::map<std::string, std::string>& values,
                              std::string* error) {
  std::string raw;
  size_t i = 0;
  while (i < pattern.size()) {
    if (pattern[i] != ':' || i + 1 >= pattern.size() || !IsTokenChar(pattern[i + 1])) {
      raw.push_back(pattern[i++]);
      continue;
    }
    size_t end = i + 1;
    while (end < pattern.size() && IsTokenChar(pattern[end])) ++end;
    std::string name(pattern.substr(i + 1, end - i - 1));
    std::optional<std::string> text;
    if (date) text = DateToken(name, *date);
    if (!text) {
      auto found = values.find(name);
      if (found != values.end()) text = found->second;
    }
    if (!text) {
      if (error) *error = "no value for :" + name;
      return "";
    }
    raw += *text;
    i = end;
  }
  std::string path;
  if (!NormalizePath(raw, &path)) {
    if (error) *error = "the address \"" + raw + "\" leaves the site";
    return "";
  }
  return path;
}

std::string Permalink::HexoSlug(std::string_view text, bool lower) {
  static constexpr std::string_view kSpecial = "~`!@#$%^&*()-_+=[]{}|\\;:\"'<>,.?/";
  std::string control_free;
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x20) control_free.push_back(c);
  }
  std::string slug = Collapse(control_free, [](gunichar c) {
    return !(c < 0x80 && kSpecial.find(static_cast<char>(c)) != std::string_view::npos) &&
           !g_unichar_isspace(c);
  });
  return lower ? Lower(slug) : slug;
}

std::string Permalink::JekyllSlug(std::string_view text, bool pretty, bool keep_case) {
  static constexpr std::string_view kPrettyKept = "._~!$&'()+,;=@";
  std::string slug = Collapse(text, [pretty](gunichar c) {
    if (g_unichar_isalnum(c)) return true;
    return pretty && c < 0x80 && kPrettyKept.find(static_cast<char>(c)) != std::string_view::npos;
  });
  return keep_case ? slug : Lower(slug);
}

std::string Permalink::HugoSlug(std::string_view text, bool lower) {
  static constexpr std::string_view kKept = "./\\_#+~-@";
  std::string slug;
  bool space_pending = false;
  bool last_was_hyphen = false;
  size_t i = 0;
  while (i < text.size()) {
    const char* p = text.data() + i;
    gunichar c = g_utf8_get_char_validated(p, static_cast<gssize>(text.size() - i));
    size_t length = 1;
    bool valid = c != static_cast<gunichar>(-1) && c != static_cast<gunichar>(-2);
    if (valid) length = static_cast<size_t>(g_utf8_next_char(p) - p);
    bool kept =
        valid && ((c < 0x80 && kKept.find(static_cast<char>(c)) != std::string_view::npos) ||
                  g_unichar_isalpha(c) || g_unichar_isdigit(c) || g_unichar_ismark(c));
    if (kept) {
      bool hyphen = c == '-';
      if (space_pending && !hyphen) slug.push_back('-');
      space_pending = false;
      last_was_hyphen = hyphen;
      slug.append(p, length);
    } else if (valid && !slug.empty() && !last_was_hyphen && g_unichar_isspace(c)) {
      space_pending = true;
    }
    i += length;
  }
  return lower ? Lower(slug) : slug;
}

}  // namespace tarn
