#include "check/page_weight.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(PageWeight, CountsEachFileOnceAndTheLargestCandidateOfAGroup) {
  PageWeight weight(1000);
  weight.Add("a.css", 500, 0);
  weight.Add("a.css", 500, 0);  // named twice, loaded once
  weight.Add("small.png", 100, 1);
  weight.Add("large.png", 9000, 1);
  weight.Add("b.js", 2000, 0);
  EXPECT_EQ(weight.total(), 1000 + 500 + 9000 + 2000);
  using Item = std::pair<std::string, std::int64_t>;
  EXPECT_EQ(weight.Heaviest(2), (std::vector<Item>{{"large.png", 9000}, {"b.js", 2000}}));
}

}  // namespace
}  // namespace tarn
