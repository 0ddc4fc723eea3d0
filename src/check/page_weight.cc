#include "check/page_weight.h"

#include <algorithm>

namespace tarn {

void PageWeight::Add(const std::string& file, std::int64_t bytes, int group) {
  if (group <= 0) {
    files_.emplace(file, bytes);
    return;
  }
  auto [it, added] = groups_.emplace(group, std::make_pair(file, bytes));
  if (!added && bytes > it->second.second) it->second = {file, bytes};
}

std::map<std::string, std::int64_t> PageWeight::Counted() const {
  std::map<std::string, std::int64_t> counted = files_;
  for (const auto& [group, candidate] : groups_) counted.insert(candidate);
  return counted;
}

std::vector<std::pair<std::string, std::int64_t>> PageWeight::Heaviest(std::size_t count) const {
  std::map<std::string, std::int64_t> counted = Counted();
  std::vector<std::pair<std::string, std::int64_t>> items(counted.begin(), counted.end());
  std::stable_sort(items.begin(), items.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  if (items.size() > count) items.resize(count);
  return items;
}

std::int64_t PageWeight::total() const {
  std::int64_t total = total_;
  for (const auto& [file, bytes] : Counted()) total += bytes;
  return total;
}

}  // namespace tarn
