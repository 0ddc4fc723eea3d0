#include "cli/option_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn {
namespace {

using Syntax = OptionParser::Syntax;

constexpr OptionRule kOptions[] = {
    {.name = "jobs",
     .short_name = 'j',
     .kind = OptionKind::kNumber,
     .help = "jobs",
     .value_name = "N",
     .needs = "a number",
     .min = 1,
     .max = 64,
     .invalid = "-j takes 1 to 64, not '{}'"},
    {.name = "from", .kind = OptionKind::kText, .value_name = "URL", .needs = "a URL"},
    {.name = "drafts", .short_name = 'd'},
    {.name = "help", .short_name = 'h', .stops = true},
};

// At most one word, faults in the default words.
constexpr Syntax kOneWord{.options = kOptions, .max_words = 1};
// Unknown options are words; at least one word.
constexpr Syntax kTitle{.options = kOptions,
                        .min_words = 1,
                        .max_words = OptionParser::kAnyNumber,
                        .keep_unknown = true,
                        .missing_word = "a title is needed"};
// Every fault is the usage alone.
constexpr Syntax kBare{
    .min_words = 1, .max_words = 1, .unknown_option = nullptr, .extra_word = nullptr};
// A fault without the usage after it.
constexpr Syntax kNoUsage{.usage_after_message = false};

constexpr char kUsage[] = "usage: t [-j N] [WORD]\n";

std::string Fault(const std::string& message) { return "t: " + message + "\n" + kUsage; }

// What was read, as "jobs=4 from=x drafts help [words]".
std::string Describe(const ParsedArgs& args) {
  std::string text;
  for (const OptionRule& rule : kOptions) {
    if (!args.Has(rule.name)) continue;
    text += rule.name;
    if (rule.kind == OptionKind::kNumber) text += "=" + std::to_string(args.Number(rule.name, -1));
    if (rule.kind == OptionKind::kText) text += "=" + args.Text(rule.name);
    text += " ";
  }
  text += "[";
  for (std::size_t i = 0; i < args.words().size(); ++i) text += (i ? "|" : "") + args.words()[i];
  return text + "]";
}

struct Case {
  const char* what;
  const Syntax* syntax;
  std::vector<std::string> args;
  std::string expected;  // Describe() of the result, or the fault's text
};

const Case kCases[] = {
    {"nothing", &kOneWord, {}, "[]"},
    {"long flag", &kOneWord, {"--drafts"}, "drafts []"},
    {"short flag", &kOneWord, {"-d"}, "drafts []"},
    {"short number, separate", &kOneWord, {"-j", "4"}, "jobs=4 []"},
    {"short number, attached", &kOneWord, {"-j4"}, "jobs=4 []"},
    {"long number, separate", &kOneWord, {"--jobs", "4"}, "jobs=4 []"},
    {"long number, with =", &kOneWord, {"--jobs=4"}, "jobs=4 []"},
    {"range ends", &kOneWord, {"-j", "1", "-j64"}, "jobs=64 []"},
    {"leading zeros", &kOneWord, {"-j", "007"}, "jobs=7 []"},
    {"below the range", &kOneWord, {"-j", "0"}, Fault("-j takes 1 to 64, not '0'")},
    {"above the range", &kOneWord, {"--jobs", "65"}, Fault("-j takes 1 to 64, not '65'")},
    {"far above the range",
     &kOneWord,
     {"-j", "99999999999999999999999"},
     Fault("-j takes 1 to 64, not '99999999999999999999999'")},
    {"not a number", &kOneWord, {"-jx"}, Fault("-j takes 1 to 64, not 'x'")},
    {"trailing junk", &kOneWord, {"-j", "2x"}, Fault("-j takes 1 to 64, not '2x'")},
    {"a sign", &kOneWord, {"-j", "+4"}, Fault("-j takes 1 to 64, not '+4'")},
    {"a negative number", &kOneWord, {"--jobs", "-1"}, Fault("-j takes 1 to 64, not '-1'")},
    {"a blank", &kOneWord, {"-j", " 4"}, Fault("-j takes 1 to 64, not ' 4'")},
    {"an empty number", &kOneWord, {"-j", ""}, Fault("-j takes 1 to 64, not ''")},
    {"an empty number after =", &kOneWord, {"--jobs="}, Fault("-j takes 1 to 64, not ''")},
    {"an option as the value",
     &kOneWord,
     {"-j", "--drafts"},
     Fault("-j takes 1 to 64, not '--drafts'")},
    {"no value, short", &kOneWord, {"-j"}, Fault("-j needs a number")},
    {"no value, long", &kOneWord, {"-d", "--jobs"}, Fault("--jobs needs a number")},
    {"text, separate", &kOneWord, {"--from", "u"}, "from=u []"},
    {"text, with =", &kOneWord, {"--from=a=b"}, "from=a=b []"},
    {"text that starts with -", &kOneWord, {"--from", "-x"}, "from=-x []"},
    {"no text", &kOneWord, {"--from"}, Fault("--from needs a URL")},
    {"an empty text", &kOneWord, {"--from", ""}, Fault("--from needs a URL")},
    {"an empty text after =", &kOneWord, {"--from="}, Fault("--from needs a URL")},
    {"unknown short", &kOneWord, {"-x"}, Fault("unexpected argument '-x'")},
    {"unknown long", &kOneWord, {"--cache"}, Fault("unexpected argument '--cache'")},
    {"no abbreviation", &kOneWord, {"--dr"}, Fault("unexpected argument '--dr'")},
    {"a flag given a value", &kOneWord, {"--drafts=1"}, Fault("unexpected argument '--drafts=1'")},
    {"a short flag given a value", &kOneWord, {"-dx"}, Fault("unexpected argument '-dx'")},
    {"-- is no end of options", &kOneWord, {"--", "-d"}, Fault("unexpected argument '--'")},
    {"a lone dash", &kOneWord, {"-"}, Fault("unexpected argument '-'")},
    {"an empty argument", &kOneWord, {""}, Fault("unexpected argument ''")},
    {"a word", &kOneWord, {"a"}, "[a]"},
    {"options after the word", &kOneWord, {"a", "-j", "2", "--drafts"}, "jobs=2 drafts [a]"},
    {"a word between an option and the next",
     &kOneWord,
     {"-d", "a", "--from", "u"},
     "from=u drafts [a]"},
    {"a word too many", &kOneWord, {"a", "b"}, Fault("unexpected argument 'b'")},
    {"the first fault counts", &kOneWord, {"a", "b", "-j0"}, Fault("unexpected argument 'b'")},
    {"the first fault counts, again",
     &kOneWord,
     {"-j0", "a", "b"},
     Fault("-j takes 1 to 64, not '0'")},
    {"the last value counts",
     &kOneWord,
     {"-j2", "--from", "a", "-j", "3", "--from=b"},
     "jobs=3 from=b []"},
    {"a stopping flag ends the reading", &kOneWord, {"-d", "-h", "-j", "x", "y"}, "drafts help []"},
    {"a fault before the stopping flag",
     &kOneWord,
     {"-j0", "--help"},
     Fault("-j takes 1 to 64, not '0'")},
    {"unknown options kept in place",
     &kTitle,
     {"-x", "a", "--", "-j2", "", "b"},
     "jobs=2 [-x|a|--||b]"},
    {"too few words", &kTitle, {"-d"}, Fault("a title is needed")},
    {"the usage alone: unknown", &kBare, {"-x"}, kUsage},
    {"the usage alone: too many", &kBare, {"a", "b"}, kUsage},
    {"the usage alone: too few", &kBare, {}, kUsage},
    {"the message alone", &kNoUsage, {"a"}, "t: unexpected argument 'a'\n"},
};

TEST(OptionParserTest, ReadsOrReportsEachCommandLine) {
  for (const Case& c : kCases) {
    ParsedArgs args;
    std::string error;
    bool ok = OptionParser("t", *c.syntax, kUsage).Parse(c.args, &args, &error);
    EXPECT_EQ(ok ? Describe(args) : error, c.expected) << c.what;
    EXPECT_EQ(ok, error.empty()) << c.what;
  }
}

TEST(OptionParserTest, AbsentOptionsGiveTheFallback) {
  ParsedArgs args;
  std::string error;
  ASSERT_TRUE(OptionParser("t", kOneWord, kUsage).Parse({"-d"}, &args, &error));
  EXPECT_EQ(args.Number("jobs", 7), 7);
  EXPECT_EQ(args.Text("from"), "");
  EXPECT_FALSE(args.Has("undeclared"));
}

TEST(OptionParserTest, ListsTheOptionsInColumns) {
  constexpr OptionRule kListed[] = {
      {.name = "workspace",
       .short_name = 'w',
       .kind = OptionKind::kText,
       .help = "the blog\nover two lines",
       .value_name = "DIR"},
      {.name = "version", .help = "the version"},
      {.name = "a-very-long-option-name",
       .kind = OptionKind::kText,
       .help = "h",
       .value_name = "VALUE"},
  };
  EXPECT_EQ(OptionParser("t", {.options = kListed}, "").Listing(),
            "  -w, --workspace DIR          the blog\n"
            "                               over two lines\n"
            "      --version                the version\n"
            "      --a-very-long-option-name VALUE h\n");
}

}  // namespace
}  // namespace tarn
