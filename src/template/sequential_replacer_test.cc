#include "template/sequential_replacer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace tarn {
namespace {

// The literal definition: each step scans the whole current text.
std::string NaiveReplace(std::string text, const std::vector<std::string>& from,
                         const std::vector<std::string>& to) {
  for (size_t k = 0; k < from.size(); ++k) {
    if (from[k].empty()) continue;
    std::string out;
    size_t pos = 0;
    while (true) {
      size_t hit = text.find(from[k], pos);
      if (hit == std::string::npos) break;
      out.append(text, pos, hit - pos);
      out += to[k];
      pos = hit + from[k].size();
    }
    out.append(text, pos, std::string::npos);
    text = std::move(out);
  }
  return text;
}

std::string Fast(const std::string& text, const std::vector<std::string>& from,
                 const std::vector<std::string>& to) {
  std::vector<std::string_view> views(from.begin(), from.end());
  SequentialReplacer replacer(views);
  return replacer.Apply(text, [&](int k) { return std::string_view(to[k]); });
}

TEST(SequentialReplacer, MatchesTheStepByStepDefinitionOnTrickyCases) {
  struct Case {
    std::string text;
    std::vector<std::string> from;
    std::vector<std::string> to;
  };
  const Case cases[] = {
      // A repeated placeholder is replaced at its first step; later ones find nothing.
      {"{$a}-{$a}-{$a}", {"{$a}", "{$a}", "{$a}"}, {"x", "y", "z"}},
      // A value holding a later placeholder gets that placeholder replaced.
      {"{$a} {$b}", {"{$a}", "{$b}"}, {"<{$b}>", "B"}},
      // A value holding an earlier placeholder keeps it...
      {"{$a} {$b}", {"{$a}", "{$b}"}, {"A", "<{$a}>"}},
      // ...unless that placeholder has a step again after it.
      {"{$a} {$b} {$a}", {"{$a}", "{$b}", "{$a}"}, {"A", "<{$a}>", "A"}},
      // A value holding its own placeholder, with the placeholder repeated.
      {"{$a}{$a}", {"{$a}", "{$a}"}, {"x{$a}", "x{$a}"}},
      // An empty value joins its neighbours into a placeholder of a later step.
      {"{${$x}a} {$a}", {"{${$x}", "{$a}"}, {"", "A"}},
      {"{$a}{$b}.c} {$x.c} {$a}", {"{$a}", "{$b}", "{$x.c}", "{$a}"}, {"{", "$x", "X", "Q"}},
      // Missing paths give empty values.
      {"[{$none}][{$none}]", {"{$none}", "{$none}"}, {"", ""}},
      // Texts that are not placeholders, overlapping themselves.
      {"aaaaa", {"aa", "aa"}, {"a", "a"}},
      {"abab", {"ab", "ba", "ab"}, {"b", "ab", "x"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Fast(c.text, c.from, c.to), NaiveReplace(c.text, c.from, c.to)) << c.text;
  }
}

// Random subjects over a tiny alphabet, so that values often hold other
// steps' texts and neighbouring pieces often join into new occurrences.
TEST(SequentialReplacer, AgreesWithTheStepByStepDefinitionOnRandomInput) {
  std::mt19937 rng(12345);
  auto pick = [&](int n) { return static_cast<int>(rng() % n); };
  const std::vector<std::string> names = {"a", "b", "ab", "{$a", "x.y", ""};
  auto placeholder = [&] { return "{$" + names[pick(names.size())] + "}"; };
  auto piece = [&] {
    static const char* const kPieces[] = {"{", "}", "$", "a", "b", "{$", " ", "\n"};
    switch (pick(3)) {
      case 0:
        return placeholder();
      default:
        return std::string(kPieces[pick(8)]);
    }
  };
  for (int round = 0; round < 3000; ++round) {
    bool braced = round % 2 == 0;
    std::string text;
    for (int i = pick(20); i >= 0; --i) text += piece();
    std::vector<std::string> from;
    std::vector<std::string> to;
    std::vector<std::string> pool;
    for (int i = pick(4) + 1; i > 0; --i)
      pool.push_back(braced ? placeholder() : std::string(1 + pick(2), "ab{$}"[pick(5)]));
    for (int i = pick(8) + 1; i > 0; --i) {
      from.push_back(pool[pick(pool.size())]);
      std::string value;
      for (int j = pick(4); j > 0; --j) value += pick(2) ? piece() : pool[pick(pool.size())];
      to.push_back(value);
    }
    ASSERT_EQ(Fast(text, from, to), NaiveReplace(text, from, to))
        << "round " << round << " text [" << text << "]";
  }
}

TEST(SequentialReplacer, ManyRepeatsOfOnePlaceholderActAsOneStep) {
  // Ten thousand copies of one placeholder: the steps after the first find
  // nothing. (The speed itself is measured in bench/.)
  std::string text;
  std::vector<std::string> from;
  std::vector<std::string> to;
  for (int i = 0; i < 10000; ++i) {
    text += "<a href=\"{$assetsPath}/x\">" + std::to_string(i) + "</a>\n";
    from.push_back("{$assetsPath}");
    to.push_back("./assets");
  }
  std::string out = Fast(text, from, to);
  EXPECT_EQ(out, NaiveReplace(text, std::vector<std::string>(from.begin(), from.begin() + 1),
                              std::vector<std::string>(to.begin(), to.begin() + 1)));
  EXPECT_EQ(out.find("{$"), std::string::npos);
}

}  // namespace
}  // namespace tarn
