#include "data/language_tag.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace tarn {
namespace {

std::vector<std::string_view> Subtags(std::string_view tag) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (start <= tag.size()) {
    size_t end = std::min(tag.find('-', start), tag.size());
    parts.push_back(tag.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

bool All(std::string_view part, int (*test)(int)) {
  return std::all_of(part.begin(), part.end(),
                     [test](char c) { return test(static_cast<unsigned char>(c)) != 0; });
}

bool IsScript(std::string_view part) { return part.size() == 4 && All(part, std::isalpha); }
bool IsRegion(std::string_view part) {
  return (part.size() == 2 && All(part, std::isalpha)) ||
         (part.size() == 3 && All(part, std::isdigit));
}
bool IsVariant(std::string_view part) {
  return All(part, std::isalnum) &&
         ((part.size() >= 5 && part.size() <= 8) ||
          (part.size() == 4 && std::isdigit(static_cast<unsigned char>(part[0]))));
}

// The region most of a language's speakers write, for the Open Graph
// locale of a tag that names none.
constexpr std::pair<std::string_view, std::string_view> kUsualRegions[] = {
    {"ar", "SA"}, {"cs", "CZ"}, {"da", "DK"}, {"de", "DE"}, {"el", "GR"}, {"en", "US"},
    {"es", "ES"}, {"fi", "FI"}, {"fr", "FR"}, {"he", "IL"}, {"hi", "IN"}, {"hu", "HU"},
    {"id", "ID"}, {"it", "IT"}, {"ja", "JP"}, {"ko", "KR"}, {"nb", "NO"}, {"nl", "NL"},
    {"pl", "PL"}, {"pt", "BR"}, {"ro", "RO"}, {"ru", "RU"}, {"sv", "SE"}, {"th", "TH"},
    {"tr", "TR"}, {"uk", "UA"}, {"vi", "VN"}, {"zh", "CN"},
};

}  // namespace

std::string LanguageTag::Normalized(std::string_view name) {
  std::string tag;
  size_t start = 0;
  for (bool first = true; start <= name.size(); first = false) {
    size_t end = name.find_first_of("-_", start);
    if (end == std::string_view::npos) end = name.size();
    std::string part(name.substr(start, end - start));
    for (size_t i = 0; i < part.size(); ++i) {
      unsigned char c = part[i];
      bool upper = !first && (part.size() == 2 || (part.size() == 4 && i == 0));
      part[i] = static_cast<char>(upper ? std::toupper(c) : std::tolower(c));
    }
    if (!part.empty()) tag += (tag.empty() ? "" : "-") + part;
    start = end + 1;
  }
  return tag;
}

bool LanguageTag::IsValid(std::string_view tag) {
  std::vector<std::string_view> parts = Subtags(tag);
  if (parts[0].size() < 2 || parts[0].size() > 3 || !All(parts[0], std::isalpha)) return false;
  size_t i = 1;
  if (i < parts.size() && IsScript(parts[i])) ++i;
  if (i < parts.size() && IsRegion(parts[i])) ++i;
  while (i < parts.size() && IsVariant(parts[i])) ++i;
  return i == parts.size();
}

std::string LanguageTag::Checked(std::string_view name) {
  std::string tag = Normalized(name);
  return IsValid(tag) ? tag : "";
}

std::string LanguageTag::Language(std::string_view tag) {
  return std::string(tag.substr(0, std::min(tag.find('-'), tag.size())));
}

std::string LanguageTag::Region(std::string_view tag) {
  std::vector<std::string_view> parts = Subtags(tag);
  for (size_t i = 1; i < parts.size() && i <= 2; ++i)
    if (IsRegion(parts[i])) return std::string(parts[i]);
  return "";
}

std::string LanguageTag::OpenGraphLocale(std::string_view tag) {
  std::string language = Language(tag);
  std::string region = Region(tag);
  if (region.empty()) {
    for (const auto& [known, usual] : kUsualRegions)
      if (known == language) region = usual;
  }
  return region.empty() ? language : language + "_" + region;
}

}  // namespace tarn
