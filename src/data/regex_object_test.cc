#include "data/regex_object.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn {
namespace {

constexpr std::size_t kNpos = std::string::npos;

RegexObject::Options CaseSensitive() {
  RegexObject::Options options;
  options.case_sensitive = true;
  return options;
}

TEST(RegexObjectTest, TemplateTagsOfTheThemes) {
  RegexObject re;
  RegexObject::Options quoted;
  quoted.quote_marker = true;
  ASSERT_TRUE(re.Execute("{-extend name=#引号(.*?)#引号}", "x{-extend name=\"base\"}y", quoted));
  EXPECT_EQ(re.GetPattern(), "{-extend name=\"(.*?)\"}");
  ASSERT_EQ(re.GetMatchCount(), 1);
  EXPECT_EQ(re.GetSubMatch(1, 1), "base");

  ASSERT_TRUE(re.Execute("{\\$(.*?)}", "<a href=\"{$url}\">{$ title }</a>{$}"));
  ASSERT_EQ(re.GetMatchCount(), 3);
  EXPECT_EQ(re.GetSubMatch(1, 1), "url");
  EXPECT_EQ(re.GetSubMatch(2, 1), " title ");
  EXPECT_EQ(re.GetSubMatch(3, 1), "");

  // Blocks span lines through [\s\S]; "\/" is a plain slash; lazy matching
  // keeps two blocks apart.
  const std::string page =
      "{-block name=\"head\"}<title>\r\nT</title>{-block/}\n"
      "{-block name=\"body\"}\nB\n{-block/}";
  ASSERT_TRUE(re.Execute("{-block name=\"(.*?)\"}([\\s\\S]*?){-block\\/}", page));
  ASSERT_EQ(re.GetMatchCount(), 2);
  EXPECT_EQ(re.GetSubMatchCount(), 2);
  EXPECT_EQ(re.GetSubMatch(1, 1), "head");
  EXPECT_EQ(re.GetSubMatch(1, 2), "<title>\r\nT</title>");
  EXPECT_EQ(re.GetSubMatch(2, 1), "body");
  EXPECT_EQ(re.GetSubMatch(2, 2), "\nB\n");
}

TEST(RegexObjectTest, DefaultsIgnoreCaseFindEveryMatchAndTreatLinesAsLines) {
  RegexObject re;
  ASSERT_TRUE(re.Execute("ab", "AB ab aB"));
  EXPECT_EQ(re.GetMatchCount(), 3);
  EXPECT_EQ(re.GetMatch(3), "aB");
  ASSERT_TRUE(re.Execute("ab", "AB ab aB", CaseSensitive()));
  EXPECT_EQ(re.GetMatchCount(), 1);
  EXPECT_EQ(re.GetMatch(1), "ab");
  // Case folding covers more than ASCII.
  ASSERT_TRUE(re.Execute("ärger", "ÄRGER"));
  EXPECT_EQ(re.GetMatchCount(), 1);

  RegexObject::Options first_only;
  first_only.global = false;
  ASSERT_TRUE(re.Execute("a(\\d)", "a1 a2 a3", first_only));
  EXPECT_EQ(re.GetMatchCount(), 1);
  EXPECT_EQ(re.GetSubMatch(1, 1), "1");
  EXPECT_EQ(re.Replace("<$1>"), "<1> a2 a3");

  // "^" and "$" at every line end, LF, CR LF or CR alike.
  ASSERT_TRUE(re.Execute("^(\\w+)$", "one\ntwo\r\nthree\rfour"));
  ASSERT_EQ(re.GetMatchCount(), 4);
  EXPECT_EQ(re.GetSubMatch(2, 1), "two");
  EXPECT_EQ(re.GetSubMatch(3, 1), "three");
  RegexObject::Options single;
  single.multiline = false;
  ASSERT_TRUE(re.Execute("^(\\w+)$", "one\ntwo", single));
  EXPECT_EQ(re.GetMatchCount(), 0);
  // Without multiline "$" is the very end, not before a final line break.
  ASSERT_TRUE(re.Execute("two$", "two\n", single));
  EXPECT_EQ(re.GetMatchCount(), 0);
}

TEST(RegexObjectTest, DotNeverCrossesALineBreak) {
  RegexObject re;
  ASSERT_TRUE(re.Execute("a.b", "a\nb a\rb a b"));
  ASSERT_EQ(re.GetMatchCount(), 1);
  EXPECT_EQ(re.GetMatch(1), "a b");
  ASSERT_TRUE(re.Execute("---([\\s\\S]*?)---", "---\r\ntitle: x\r\n---\r\nbody"));
  EXPECT_EQ(re.GetSubMatch(1, 1), "\r\ntitle: x\r\n");
}

// The pieces between matches put back together give the subject: what the
// template passes rely on to copy the text around tags.
TEST(RegexObjectTest, TextBetweenMatchesRebuildsTheSubject) {
  RegexObject re;
  ASSERT_TRUE(re.Execute("\\{[a-z]*\\}", "中{a}{bc}x{}"));
  ASSERT_EQ(re.GetMatchCount(), 3);
  EXPECT_EQ(re.MatchViews(), (std::vector<std::string_view>{"{a}", "{bc}", "{}"}));
  EXPECT_EQ(re.TextBefore(1), "中");
  EXPECT_EQ(re.TextBefore(2), "");  // adjacent matches
  EXPECT_EQ(re.TextBefore(3), "x");
  EXPECT_EQ(re.TextBefore(4), "");  // nothing after the last
  EXPECT_EQ(re.TextBefore(0), "");
  EXPECT_EQ(re.TextBefore(5), "");
  ASSERT_TRUE(re.Execute("z", "abc"));
  EXPECT_TRUE(re.MatchViews().empty());
  EXPECT_EQ(re.TextBefore(1), "abc");  // no match: the whole subject
}

TEST(RegexObjectTest, NumbersFromOneAndByteOffsetsFromZero) {
  RegexObject re;
  ASSERT_TRUE(re.Execute("(\\d)(x)?", "中文1 2x"));
  ASSERT_EQ(re.GetMatchCount(), 2);
  std::size_t position = 99;
  EXPECT_EQ(re.GetMatch(1, &position), "1");
  EXPECT_EQ(position, 6u);  // two three-byte characters before it
  EXPECT_EQ(re.GetMatch(2, &position), "2x");
  EXPECT_EQ(position, 8u);
  EXPECT_EQ(re.GetSubMatch(2, 2, &position), "x");
  EXPECT_EQ(position, 9u);
  // A group that took no part.
  EXPECT_EQ(re.GetSubMatch(1, 2, &position), "");
  EXPECT_EQ(position, kNpos);
  // Out of range on every side.
  for (auto [m, g] : {std::pair{0, 1}, {3, 1}, {1, 0}, {1, 3}, {-1, -1}}) {
    position = 0;
    EXPECT_EQ(re.GetSubMatch(m, g, &position), "") << m << "," << g;
    EXPECT_EQ(position, kNpos);
  }
  position = 0;
  EXPECT_EQ(re.GetMatch(0, &position), "");
  EXPECT_EQ(position, kNpos);
  EXPECT_EQ(re.GetMatch(3), "");
  EXPECT_EQ(re.MatchPosition(2), 8u);
  EXPECT_EQ(re.MatchPosition(0), kNpos);
  EXPECT_EQ(re.MatchPosition(3), kNpos);
  EXPECT_EQ(re.MatchView(2), "2x");
  EXPECT_EQ(re.SubMatchView(2, 1), "2");
  // The position of a group is its own, even when its text occurs earlier
  // in the match.
  ASSERT_TRUE(re.Execute("a+(a)", "xaaa"));
  EXPECT_EQ(re.GetSubMatch(1, 1, &position), "a");
  EXPECT_EQ(position, 3u);
}

TEST(RegexObjectTest, ReplaceFollowsTheScriptingRules) {
  RegexObject re;
  ASSERT_TRUE(re.Execute("\\s*<!--.*?-->", "a <!-- x --> b<!--y-->"));
  EXPECT_EQ(re.Replace(""), "a b");

  ASSERT_TRUE(re.Execute("(b)(c)?", "abd"));
  EXPECT_EQ(re.Replace("[$1|$2|$&|$`|$'|$$|$0|$00|$3|$<n>|$]"), "a[b||b|a|d|$|$0|$00|$3|$<n>|$]d");
  // Two digits when they name a group, else one digit and a literal one.
  ASSERT_TRUE(re.Execute("(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)", "abcdefghijk"));
  EXPECT_EQ(re.Replace("$11-$10-$01-$012"), "k-j-a-a2");
  ASSERT_TRUE(re.Execute("(a)", "a"));
  EXPECT_EQ(re.Replace("$10"), "a0");
  // Replacing in a subject with no match changes nothing.
  ASSERT_TRUE(re.Execute("zzz", "abc"));
  EXPECT_EQ(re.Replace("y"), "abc");
}

TEST(RegexObjectTest, EmptyMatchesAdvanceLikeScripts) {
  RegexObject re;
  ASSERT_TRUE(re.Execute("b*", "abc"));
  EXPECT_EQ(re.GetMatchCount(), 4);
  EXPECT_EQ(re.Replace("X"), "XaXXcX");
  ASSERT_TRUE(re.Execute("a*?", "aaa"));
  EXPECT_EQ(re.Replace("X"), "XaXaXaX");
  // The step over an empty match is one whole character, never half of one.
  ASSERT_TRUE(re.Execute("", "日本"));
  EXPECT_EQ(re.GetMatchCount(), 3);
  EXPECT_EQ(re.Replace("|"), "|日|本|");
  ASSERT_TRUE(re.Execute("^", "l1\nl2\n"));
  EXPECT_EQ(re.Replace("> "), "> l1\n> l2\n");
  // CR LF is one line break: nothing is put between its two characters.
  ASSERT_TRUE(re.Execute("^", "l1\r\nl2"));
  EXPECT_EQ(re.Replace("> "), "> l1\r\n> l2");
  ASSERT_TRUE(re.Execute("$", "l1\r\nl2"));
  EXPECT_EQ(re.Replace(";"), "l1;\r\nl2;");
  ASSERT_TRUE(re.Execute("x*", ""));
  EXPECT_EQ(re.GetMatchCount(), 1);
}

TEST(RegexObjectTest, RejectedPatternLeavesNothingBehind) {
  RegexObject re;
  EXPECT_EQ(re.GetPattern(), "");
  EXPECT_EQ(re.GetMatchCount(), 0);
  EXPECT_EQ(re.Replace("x"), "");
  ASSERT_TRUE(re.Execute("(a)", "a"));
  for (const char* bad : {"(a", "a)", "[a", "a{2,1}", "*a", "(?<=a+)b"}) {
    EXPECT_FALSE(re.Execute(bad, "aaa")) << bad;
    EXPECT_FALSE(re.error().empty()) << bad;
    EXPECT_EQ(re.GetPattern(), bad);
    EXPECT_EQ(re.GetMatchCount(), 0);
    EXPECT_EQ(re.GetSubMatchCount(), 0);
    EXPECT_EQ(re.GetMatch(1), "");
    EXPECT_EQ(re.GetSubMatch(1, 1), "");
  }
  // Runaway backtracking stops at the engine's limit and says so, rather
  // than hanging or returning a partial list as if it were complete.
  EXPECT_FALSE(re.Execute("^(\\w+\\s?)*$", std::string(40, 'a') + "!"));
  EXPECT_NE(re.error().find("limit"), std::string::npos) << re.error();
  EXPECT_EQ(re.GetMatchCount(), 0);
  // The next good pattern works again and clears the reason.
  ASSERT_TRUE(re.Execute("a", "a"));
  EXPECT_TRUE(re.error().empty());
  EXPECT_EQ(re.GetMatchCount(), 1);
}

TEST(RegexObjectTest, InvalidUtf8SubjectStillMatches) {
  RegexObject re;
  const std::string subject = "ok\xff\xfe{$a}\xc3 \xe4\xb8{$b}";
  ASSERT_TRUE(re.Execute("{\\$(.*?)}", subject));
  ASSERT_EQ(re.GetMatchCount(), 2);
  EXPECT_EQ(re.GetSubMatch(2, 1), "b");
  std::size_t position = 0;
  re.GetMatch(2, &position);
  EXPECT_EQ(subject.substr(position, 4), "{$b}");
  EXPECT_EQ(re.Replace("_"), "ok\xff\xfe_\xc3 \xe4\xb8_");
  // Empty matches step over invalid bytes one at a time, stray
  // continuation bytes included.
  ASSERT_TRUE(re.Execute("", "\xff\x80"));
  EXPECT_EQ(re.GetMatchCount(), 3);

  // A stray byte inside a block neither hides the block nor reaches the
  // output changed; "." crosses it too, but no literal matches it.
  const std::string block = "{-block name=\"a\"}caf\xe9 \xed\xa0\x80 \xf0\x9f\x98\x80{-block/}";
  ASSERT_TRUE(re.Execute("{-block name=\"(.*?)\"}([\\s\\S]*?){-block\\/}", block));
  ASSERT_EQ(re.GetMatchCount(), 1);
  EXPECT_EQ(re.GetSubMatch(1, 2), "caf\xe9 \xed\xa0\x80 \xf0\x9f\x98\x80");
  ASSERT_TRUE(re.Execute("f.( )(...) (.)", block));
  EXPECT_EQ(re.GetSubMatch(1, 1), " ");
  EXPECT_EQ(re.GetSubMatch(1, 2), "\xed\xa0\x80");      // a surrogate: three bytes
  EXPECT_EQ(re.GetSubMatch(1, 3), "\xf0\x9f\x98\x80");  // a valid emoji: one
  ASSERT_TRUE(re.Execute("\\x1a", "a\xff"));
  EXPECT_EQ(re.GetMatchCount(), 1);  // only the escape names the stand-in
  ASSERT_TRUE(re.Execute("caf.", "caf\xe9"));
  EXPECT_EQ(re.GetMatch(1), "caf\xe9");
}

TEST(RegexObjectTest, InvalidBytesAreFoundAtAnyOffsetInAsciiRuns) {
  // ASCII is passed over in words: a stray byte, or a valid sequence, at
  // each offset of a word and across the end of one.
  const std::vector<std::string> odd_ones = {"\xff", "\xe4\xb8", "\xc3\xa9", "\xf0\x9f\x98\x80"};
  for (const std::string& odd : odd_ones) {
    for (std::size_t at = 0; at < 18; ++at) {
      const std::string subject = std::string(at, 'a') + odd + "{$x}" + std::string(at % 5, 'b');
      RegexObject re;
      ASSERT_TRUE(re.Execute("([^{a]*){\\$x}", subject));
      ASSERT_EQ(re.GetMatchCount(), 1) << at;
      EXPECT_EQ(re.GetSubMatch(1, 1), odd) << at;
    }
  }
}

TEST(RegexObjectTest, CopiesAreIndependentAndTheCacheKeepsOptionsApart) {
  RegexObject a;
  ASSERT_TRUE(a.Execute("(x)", "xx"));
  RegexObject b = a;
  ASSERT_TRUE(a.Execute("y", "y"));
  EXPECT_EQ(b.GetMatchCount(), 2);
  EXPECT_EQ(b.GetSubMatch(2, 1), "x");
  EXPECT_EQ(b.Replace("$1$1"), "xxxx");
  // The same pattern text compiled under other options is another pattern.
  ASSERT_TRUE(a.Execute("X", "x"));
  EXPECT_EQ(a.GetMatchCount(), 1);
  ASSERT_TRUE(a.Execute("X", "x", CaseSensitive()));
  EXPECT_EQ(a.GetMatchCount(), 0);
  // More patterns than the cache holds still compile and match correctly.
  for (int i = 0; i < 100; ++i) {
    std::string pattern = "n" + std::to_string(i) + "\\b";
    ASSERT_TRUE(a.Execute(pattern, "x n" + std::to_string(i) + " n1000"));
    EXPECT_EQ(a.GetMatchCount(), 1) << pattern;
  }
}

TEST(RegexObjectTest, LargeSubjectIsMatchedInOnePass) {
  // An index page of ten thousand posts: the global search must neither
  // recheck the whole subject per match nor run out of JIT stack.
  std::string page;
  for (int i = 0; i < 10000; ++i) {
    page += "<li>{$post" + std::to_string(i) + "}</li>\r\n";
  }
  page = "{-block name=\"list\"}" + page + "{-block/}";
  RegexObject re;
  ASSERT_TRUE(re.Execute("{\\$(.*?)}", page));
  EXPECT_EQ(re.GetMatchCount(), 10000);
  EXPECT_EQ(re.GetSubMatch(10000, 1), "post9999");
  ASSERT_TRUE(re.Execute("{-block name=\"(.*?)\"}([\\s\\S]*?){-block\\/}", page));
  ASSERT_EQ(re.GetMatchCount(), 1);
  EXPECT_EQ(re.SubMatchView(1, 2).size(), page.size() - 20 - 9);
}

}  // namespace
}  // namespace tarn
