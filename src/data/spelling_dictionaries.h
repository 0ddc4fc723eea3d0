// SpellingDictionaries: which installed spelling dictionaries (Hunspell's
// NAME.dic, named language_REGION: "en_US", "de_DE") check a text in a
// given language. Languages without a dictionary (Chinese, Japanese: there
// is no Hunspell dictionary of them) give none, so their text is never
// marked.
//
// Thread safety: static functions without state; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class SpellingDictionaries {
 public:
  // The dictionary among installed for name, a BCP 47 tag or a locale name
  // ("en-GB", "en_US.UTF-8", "de_DE@euro"): the one of its region, else
  // its language's usual one ("en" en_US, "de" de_DE), else one named by
  // the bare language, else the first of its language. "" when none fits
  // or name is no language ("C", "POSIX", "").
  static std::string For(std::string_view name, const std::vector<std::string>& installed);

  // The dictionaries for the first of post_lang and blog_lang that is set
  // (one at most), else for each of system_langs (the system's languages,
  // in order of preference, each at most once). Empty when none fits.
  static std::vector<std::string> Choose(std::string_view post_lang, std::string_view blog_lang,
                                         const std::vector<std::string>& system_langs,
                                         const std::vector<std::string>& installed);
};

}  // namespace tarn
