#include "content/clock.h"

#include <cstdlib>
#include <string>

#include "content/front_matter.h"

namespace tarn {

std::time_t Clock::Now() {
  const char* fixed = std::getenv("TARN_NOW");
  std::time_t time = 0;
  if (fixed && Parse(fixed, &time)) return time;
  return std::time(nullptr);
}

bool Clock::Parse(std::string_view text, std::time_t* time) {
  if (!text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos) {
    char* end = nullptr;
    std::string digits(text);
    long long seconds = std::strtoll(digits.c_str(), &end, 10);
    if (*end != '\0') return false;
    *time = static_cast<std::time_t>(seconds);
    return true;
  }
  return FrontMatter::ParseDate(text, time);
}

}  // namespace tarn
