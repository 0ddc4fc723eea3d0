#include "import/hexo_post_name.h"

#include <cctype>
#include <filesystem>

namespace tarn {

namespace {

bool IsNameCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

}  // namespace

HexoPostName::HexoPostName(const std::string& pattern) {
  static const std::map<std::string, std::string> kSegments = {
      {"year", "(\\d{4})"},      {"month", "(\\d{2})"},   {"day", "(\\d{2})"},
      {"i_month", "(\\d{1,2})"}, {"i_day", "(\\d{1,2})"}, {"hash", "([0-9a-f]{12})"}};
  std::string rule = std::filesystem::path(pattern).replace_extension().string();
  std::string expression = "^";
  for (size_t i = 0; i < rule.size();) {
    if (rule[i] == ':' && i + 1 < rule.size() && IsNameCharacter(rule[i + 1])) {
      size_t end = i + 1;
      while (end < rule.size() && IsNameCharacter(rule[end])) ++end;
      std::string name = rule.substr(i + 1, end - i - 1);
      auto segment = kSegments.find(name);
      expression += segment != kSegments.end() ? segment->second : "(.+?)";
      names_.push_back(name);
      i = end;
    } else {
      if (std::string("\\^$.|?*+()[]{}").find(rule[i]) != std::string::npos) expression += '\\';
      expression += rule[i++];
    }
  }
  expression_ = std::regex(expression + "$");
}

std::map<std::string, std::string> HexoPostName::Fields(const std::string& relative) const {
  std::map<std::string, std::string> fields;
  std::smatch match;
  if (std::regex_match(relative, match, expression_)) {
    for (size_t i = 0; i < names_.size(); ++i) fields[names_[i]] = match[i + 1].str();
  }
  if (!fields.count("title")) fields["title"] = Permalink::HexoSlug(relative, false);
  return fields;
}

std::optional<Permalink::Date> HexoPostName::DateIn(
    const std::map<std::string, std::string>& fields) {
  auto field = [&fields](const char* padded, const char* unpadded) -> const std::string* {
    auto found = fields.find(padded);
    if (found == fields.end()) found = fields.find(unpadded);
    return found == fields.end() ? nullptr : &found->second;
  };
  const std::string* year = field("year", "year");
  const std::string* month = field("month", "i_month");
  const std::string* day = field("day", "i_day");
  Permalink::Date date;
  if (!year || !month || !day || !Permalink::ParseDate(*year + "-" + *month + "-" + *day, &date)) {
    return std::nullopt;
  }
  return date;
}

}  // namespace tarn
