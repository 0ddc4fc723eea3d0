// LanguageTag: a blog's language as a BCP 47 tag ("en", "en-GB", "zh-CN",
// "zh-Hans-CN", "es-419"), brought to its usual spelling and checked, and
// what a page derives from it (the Open Graph locale, the language a
// translation falls back to).
//
// The check is the shape of a tag (RFC 5646's language, script, region
// and variant subtags, letters and digits of their lengths), not a look-up
// in the registry: a tag of the right shape that names no language passes.
//
// Thread safety: static functions without state; any thread.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

class LanguageTag {
 public:
  // name as a BCP 47 tag: "_" as "-", the language in lower case, a
  // four-letter script in title case, a two-letter or three-digit region
  // in upper case ("en-us" -> "en-US", "zh_hans_cn" -> "zh-Hans-CN"); ""
  // for "". Empty subtags are dropped; the result is not checked.
  static std::string Normalized(std::string_view name);

  // Whether tag (as Normalized gives it) has the shape of a BCP 47 tag: a
  // language of 2-3 letters, then an optional script (4 letters), an
  // optional region (2 letters or 3 digits) and variants (5-8 letters or
  // digits, or 4 starting with a digit).
  static bool IsValid(std::string_view tag);

  // name normalized when that is a valid tag; "" otherwise.
  static std::string Checked(std::string_view name);

  // The language subtag of a valid tag ("en-GB" -> "en").
  static std::string Language(std::string_view tag);
  // The region subtag of a valid tag ("zh-Hans-CN" -> "CN"); "" for none.
  static std::string Region(std::string_view tag);

  // The Open Graph locale of a valid tag, language_REGION ("en-GB" ->
  // "en_GB"); a tag without a region takes its language's most spoken
  // one ("en" -> "en_US", "de" -> "de_DE"), or is the language alone
  // where there is no obvious one.
  static std::string OpenGraphLocale(std::string_view tag);
};

}  // namespace tarn
