// PageWeight: how much one page weighs with everything of the site it loads
// (its HTML, stylesheets, scripts, images), held against the theme's budget
// ("check": {"pageBudgetKB": N} in _conf.json, kDefaultBudgetKB without).
// Of the candidates of one <picture> or srcset only the largest counts: a
// browser loads one of them. External resources are not counted.
//
// Thread safety: a value; one thread at a time.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tarn {

class PageWeight {
 public:
  static constexpr std::int64_t kDefaultBudgetKB = 1000;

  // html_bytes: the page's own size.
  explicit PageWeight(std::int64_t html_bytes) : total_(html_bytes) {}

  // Counts the file (relative to public/) of bytes once per page; group > 0
  // joins the candidates of one picture or srcset, of which the largest
  // counts.
  void Add(const std::string& file, std::int64_t bytes, int group);

  std::int64_t total() const;
  // The heaviest count files, heaviest first, with their sizes.
  std::vector<std::pair<std::string, std::int64_t>> Heaviest(std::size_t count) const;

 private:
  // Each file counted: the plain ones and each group's largest candidate.
  std::map<std::string, std::int64_t> Counted() const;

  std::int64_t total_;
  std::map<std::string, std::int64_t> files_;                   // counted once each
  std::map<int, std::pair<std::string, std::int64_t>> groups_;  // largest candidate
};

}  // namespace tarn
