#include "data/spelling_dictionaries.h"

#include <algorithm>
#include <utility>

#include "data/language_tag.h"

namespace tarn {
namespace {

// The region a bare language's dictionary is usually named with.
constexpr std::pair<const char*, const char*> kUsualRegion[] = {
    {"en", "US"}, {"de", "DE"}, {"fr", "FR"}, {"es", "ES"}, {"it", "IT"},
    {"pt", "PT"}, {"nl", "NL"}, {"ru", "RU"}, {"sv", "SE"}, {"pl", "PL"},
};

bool Has(const std::vector<std::string>& list, const std::string& name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

}  // namespace

std::string SpellingDictionaries::For(std::string_view name,
                                      const std::vector<std::string>& installed) {
  // A locale name's encoding and modifier say nothing of the language.
  std::string tag = LanguageTag::Checked(name.substr(0, name.find_first_of(".@")));
  if (tag.empty()) return "";
  std::string language = LanguageTag::Language(tag);
  std::string region = LanguageTag::Region(tag);
  if (!region.empty() && Has(installed, language + "_" + region)) return language + "_" + region;
  for (const auto& [bare, usual] : kUsualRegion) {
    if (language == bare && Has(installed, language + "_" + usual)) return language + "_" + usual;
  }
  if (Has(installed, language)) return language;
  for (const std::string& dictionary : installed) {
    if (dictionary.rfind(language + "_", 0) == 0) return dictionary;
  }
  return "";
}

std::vector<std::string> SpellingDictionaries::Choose(std::string_view post_lang,
                                                      std::string_view blog_lang,
                                                      const std::vector<std::string>& system_langs,
                                                      const std::vector<std::string>& installed) {
  for (std::string_view chosen : {post_lang, blog_lang}) {
    if (chosen.empty()) continue;
    std::string found = For(chosen, installed);
    return found.empty() ? std::vector<std::string>{} : std::vector<std::string>{found};
  }
  std::vector<std::string> dictionaries;
  for (const std::string& name : system_langs) {
    std::string found = For(name, installed);
    if (!found.empty() && !Has(dictionaries, found)) dictionaries.push_back(found);
  }
  return dictionaries;
}

}  // namespace tarn
