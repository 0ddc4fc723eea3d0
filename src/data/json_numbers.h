// Number text for JsonDocument: reading the leading number of a text the way
// the C library does (without its locale), and writing numbers in their
// shortest round-trip form. Private to the JSON document's files.
//
// Inline: path indexes and parsed numbers go through these per token.
//
// Thread safety: all functions are pure.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>

namespace tarn::json_internal {

// White space as the C library's isspace counts it in the "C" locale.
inline bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// The C library's atoll, without locale or overflow surprises: leading
// white space, an optional sign, then digits up to the first other
// character; 0 when there are none. Saturates instead of overflowing.
inline std::int64_t ParseLeadingInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::uint64_t value = 0;
  const std::uint64_t limit = negative ? 9223372036854775808ULL : 9223372036854775807ULL;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const unsigned digit = static_cast<unsigned>(text[i] - '0');
    // Checked before multiplying: value * 10 may pass 2^64 and wrap.
    if (value > (limit - digit) / 10) {
      value = limit;
      break;
    }
    value = value * 10 + digit;
  }
  if (negative)
    return value == limit ? std::numeric_limits<std::int64_t>::min()
                          : -static_cast<std::int64_t>(value);
  return static_cast<std::int64_t>(value);
}

// strtod without the locale: leading white space and an optional "+" are
// allowed; 0 when no number starts the text.
inline double ParseLeadingDouble(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) ++i;
  if (i < text.size() && text[i] == '+') {
    ++i;
    if (i < text.size() && text[i] == '-') return 0;
  }
  double value = 0;
  auto result = std::from_chars(text.data() + i, text.data() + text.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // from_chars leaves the value alone on overflow; strtod gives +-HUGE_VAL
    // or 0, which std::strtod reproduces on a copy.
    std::string copy(text.substr(i, static_cast<std::size_t>(result.ptr - text.data()) - i));
    return std::strtod(copy.c_str(), nullptr);
  }
  return result.ec == std::errc() ? value : 0;
}

// A double truncated towards zero, saturating at the int64 range; NaN is 0.
inline std::int64_t DoubleToInt64(double d) {
  if (std::isnan(d)) return 0;
  if (d >= 9223372036854775807.0) return std::numeric_limits<std::int64_t>::max();
  if (d <= -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(d);
}

// The shortest text that reads back as the same number.
inline std::string NumberText(std::int64_t value) {
  char buffer[32];
  auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  return std::string(buffer, end);
}

inline std::string NumberText(double value) {
  char buffer[64];
  auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  return std::string(buffer, end);
}

}  // namespace tarn::json_internal
